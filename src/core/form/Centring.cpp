#include "form/Centring.h"

#include <cfenv>

#include "common/RuntimeError.h"

namespace kestrow {
// The status test is made right after the division, as the rule asks.
float CentredEdge(float screen, float window) {
    std::feclearexcept(FE_ALL_EXCEPT);
    volatile float difference = screen - window;
    volatile float divisor = 2.0f;
    volatile float half = difference / divisor;
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    if (raised & FE_DIVBYZERO) throw RuntimeError(ErrorNumber::DivisionByZero, kProgramSource, L"Division by zero");
    if (raised & FE_OVERFLOW) throw OverflowError();
    if (raised & FE_INVALID) throw InvalidCallError();
    return half;
}

WindowEdges CentreOnScreen(float screenWidth, float screenHeight, float windowWidth, float windowHeight) {
    WindowEdges edges{};
    edges.left = CentredEdge(screenWidth, windowWidth);
    edges.top = CentredEdge(screenHeight, windowHeight);
    return edges;
}

}  // namespace kestrow
