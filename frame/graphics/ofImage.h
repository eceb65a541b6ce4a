#pragma once

// Image library lifetime: initialised by the first image constructed, shut
// down once at exit by the frame runner's teardown.
void ofCloseFreeImage();
