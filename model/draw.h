// Drawing a Model in OpenGL immediate mode, and its bounding box.
//
// The routines emit geometry only (texture coordinates, normals, vertices
// between glBegin and glEnd); colour, material, texture, polygon mode,
// shading, lighting and culling are the caller's state. Normals are sent as
// (nx, nz, -ny), the mapping the reader applied to positions. Interpolating
// routines blend position as A + f(B - A) and normal as (1 - f)A + fB (not
// renormalised); f is not clamped, so values outside 0..1 extrapolate.
//
// Nothing a file holds can make a routine read outside the model's arrays:
//  - a frame number outside 0..numFrames-1 (or a frame without vertices)
//    draws nothing, not even glBegin;
//  - a triangle with any vertex index outside 0..numVertices-1 or any
//    texture-coordinate index outside 0..numTexCoords-1 is skipped, the rest
//    of the list is drawn;
//  - a strip or fan with any vertex index outside 0..numVertices-1 is
//    skipped whole, the walk goes on with the next command;
//  - the walk stops at a zero count, at the end of the numCommands words
//    (a stream without its terminating zero), or at a command whose entries
//    would run past that end (that command is not drawn);
//  - a skinWidth or skinHeight of 0 divides by 1 instead, so texture
//    coordinates stay finite (the skin pixel value is sent as it stands);
//  - modelDrawFrame uses the triangle list when useCommands is set but the
//    model has no command stream, so such a model still shows.
// The routines need the caller's rendering context to be current.
#pragma once

#include "model/model.h"

// Draw-path switches, process-wide, shared by every model: nonzero
// useCommands draws from the command stream instead of the triangle list,
// nonzero useInterpolation blends two frames. Both start at 1.
extern int useCommands;
extern int useInterpolation;

struct ModelBounds {
    float minX, maxX;
    float minY, maxY;
    float minZ, maxZ;
};

// Stores both switches.
void setDrawPath(int commands, int interpolation);

// Draws through the routine the switches pick; the single-frame routines
// get frame a only.
void modelDrawFrame(const Model* model, int a, int b, float fraction);

void drawTriangles(const Model* model, int a);
void drawTrianglesLerp(const Model* model, int a, int b, float fraction);
void drawCommands(const Model* model, int a);
void drawCommandsLerp(const Model* model, int a, int b, float fraction);

// The box around frame 0's vertices, in the viewer's axes. Without frame 0
// or without vertices every minimum is 999999 and every maximum -999999.
void modelBounds(const Model* model, ModelBounds* bounds);
