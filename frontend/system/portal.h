// The desktop portal's file chooser as a plugin of its own (Linux only):
// the one name it exports and how it is called. system_posix.cpp loads it
// when a person is to choose a model; portal_chooser.cpp is the plugin.
#pragma once

#include <string>
#include <vector>

#include "frontend/system/system.h"

namespace frontend {

constexpr char kChooserPlugin[] = "ombrel-chooser.so";

// Names the build the plugin comes from: one left by another build of
// ombrel answers Unavailable.
#define OMBREL_PORTAL_BUILD "ombrel " OMBREL_VERSION " chooser 1"

// Asks the portal for a file of the kinds filters name (each pattern as
// given: the caller adds the upper-case ones) and waits for the answer,
// however long the person takes: a Choice, as an int.
using ChooseWithPortal = int (*)(const char* build, const std::vector<FileFilter>& filters, std::string& path);
constexpr char kChooseWithPortalName[] = "ombrelChooseWithPortal";

}  // namespace frontend
