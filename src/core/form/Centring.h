#pragma once
// Where a window goes so that it is centred on the screen, in twips, with
// single-precision arithmetic and a check of the floating-point status.
namespace kestrow {

struct WindowEdges {
    float left;
    float top;
};

// (screen - window) / 2.0f for one axis; raises the runtime's
// floating-point error when the division is invalid, divides by zero or
// overflows.
float CentredEdge(float screen, float window);

// Left edge first, then top: (screen - window) / 2.0f for each. Raises the
// runtime's floating-point error when a division is invalid, divides by
// zero or overflows, instead of returning the value.
WindowEdges CentreOnScreen(float screenWidth, float screenHeight, float windowWidth, float windowHeight);

}  // namespace kestrow
