// The IDP2 writer is product code (model/md2_writer.h); the tests name its
// parts as testdata:: like the rest of their data.
#pragma once

#include "model/md2_writer.h"

namespace testdata {

using ::appendFan;
using ::appendStrip;
using ::kMd2FrameHeaderSize;
using ::kMd2HeaderSize;
using ::kMd2Magic;
using ::md2Bytes;
using ::Md2CommandEntry;
using ::Md2Frame;
using ::md2FrameFromPositions;
using ::Md2Header;
using ::md2Layout;
using ::Md2Model;
using ::Md2PackedVertex;
using ::Md2TexCoord;
using ::Md2Triangle;

}  // namespace testdata
