#pragma once
// gl_on_webgl.h -- the OpenGL 1.1 and GLU calls the program makes, done on
// WebGL 1 for the browser build: matrix stacks, one positional light with its
// specular term evaluated per vertex, modulated textures, client arrays and
// GL_QUADS, display lists and the GLU sphere. Everything else the program calls
// (clear, depth, viewport, textures) is WebGL's own.
//
// The state belongs to one WebGL context at a time, as a new GL context starts
// from the defaults. The web window system tells it which.

// Makes the state this context's, fresh when the context is new to it, and
// builds the shader it draws with. False when the shader cannot be built.
bool useWebglContext(int context);
// The context is gone: its lists and buffers with it.
void forgetWebglContext(int context);
