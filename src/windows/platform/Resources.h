#pragma once

// Registers the pictures built into the program; the library that holds them is linked
// statically, so they need registering once before the first window.
void registerResources();
