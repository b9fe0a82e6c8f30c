#include "engine/neutral/lights.h"

#include <cmath>

#include "engine/portable_math.h"

namespace {

constexpr int pointCount = 48;
constexpr double coolest = 2000.0, hottest = 12000.0;

struct Point {
    double u, v;  // ln(R/G), ln(B/G)
};

// CIE xy of a black body at kelvin, by the cubic fits of Kim et al.
// (Kang et al., 2002), valid from 1667 to 25000 K.
void blackBodyXy(double kelvin, double& x, double& y)
{
    const double t = 1.0 / kelvin, t2 = t * t, t3 = t2 * t;
    x = kelvin < 4000.0 ? -0.2661239e9 * t3 - 0.2343589e6 * t2 + 0.8776956e3 * t + 0.179910
                        : -3.0258469e9 * t3 + 2.1070379e6 * t2 + 0.2226347e3 * t + 0.240390;
    const double x2 = x * x, x3 = x2 * x;
    y = kelvin < 2222.0   ? -1.1063814 * x3 - 1.34811020 * x2 + 2.18555832 * x - 0.20219683
        : kelvin < 4000.0 ? -0.9549476 * x3 - 1.37418593 * x2 + 2.09137015 * x - 0.16748867
                          : 3.0817580 * x3 - 5.87338670 * x2 + 3.75112997 * x - 0.37001483;
}

// Linear BT.709 RGB of chromaticity x, y at luminance 1.
void rgbOfXy(double x, double y, double rgb[3])
{
    const double X = x / y, Z = (1.0 - x - y) / y;
    rgb[0] = 3.2406 * X - 1.5372 - 0.4986 * Z;
    rgb[1] = -0.9689 * X + 1.8758 + 0.0415 * Z;
    rgb[2] = 0.0557 * X - 0.2040 + 1.0570 * Z;
}

struct Curve {
    Point p[pointCount];
};

Curve makeCurve()
{
    double white[3];
    rgbOfXy(0.3127, 0.3290, white);  // D65
    Curve c;
    const double step = portableLog(hottest / coolest) / (pointCount - 1);
    for (int i = 0; i < pointCount; ++i) {
        double x, y, rgb[3];
        blackBodyXy(coolest * portableExp(step * i), x, y);
        rgbOfXy(x, y, rgb);
        const double r = rgb[0] / white[0], g = rgb[1] / white[1], b = rgb[2] / white[2];
        c.p[i] = {portableLog(r / g), portableLog(b / g)};
    }
    return c;
}

double segmentDistance(const Point& a, const Point& b, double u, double v)
{
    const double du = b.u - a.u, dv = b.v - a.v;
    const double len2 = du * du + dv * dv;
    double t = len2 > 0.0 ? ((u - a.u) * du + (v - a.v) * dv) / len2 : 0.0;
    t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
    const double eu = a.u + t * du - u, ev = a.v + t * dv - v;
    return std::sqrt(eu * eu + ev * ev);
}

}  // namespace

double distanceFromLights(double logRedGreen, double logBlueGreen)
{
    // Made once; the language makes the first use thread-safe.
    static const Curve curve = makeCurve();
    double best = HUGE_VAL;
    for (int i = 0; i + 1 < pointCount; ++i) {
        const double d = segmentDistance(curve.p[i], curve.p[i + 1], logRedGreen, logBlueGreen);
        best = d < best ? d : best;
    }
    return best;
}
