#include "platform/uikit/CATransform3D.h"

#include <cmath>

CATransform3D CATransform3D::makeTranslation(double tx, double ty, double tz)
{
    CATransform3D t;
    t.m41 = tx;
    t.m42 = ty;
    t.m43 = tz;
    return t;
}

CATransform3D CATransform3D::makeScale(double sx, double sy, double sz)
{
    CATransform3D t;
    t.m11 = sx;
    t.m22 = sy;
    t.m33 = sz;
    return t;
}

CATransform3D CATransform3D::makeRotation(double radians, double x, double y, double z)
{
    double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length) || !std::isfinite(radians))
        return identity();
    x /= length;
    y /= length;
    z /= length;
    double c = std::cos(radians);
    double s = std::sin(radians);
    double t = 1 - c;
    // Clean up the rounding of quarter and half turns, so that 180° is an exact mirror.
    auto tidy = [](double v) { return std::fabs(v) < 1e-12 ? 0.0 : v; };
    CATransform3D m;
    m.m11 = tidy(t * x * x + c);
    m.m12 = tidy(t * x * y + s * z);
    m.m13 = tidy(t * x * z - s * y);
    m.m21 = tidy(t * x * y - s * z);
    m.m22 = tidy(t * y * y + c);
    m.m23 = tidy(t * y * z + s * x);
    m.m31 = tidy(t * x * z + s * y);
    m.m32 = tidy(t * y * z - s * x);
    m.m33 = tidy(t * z * z + c);
    return m;
}

CATransform3D CATransform3D::makeAffine(const platform::AffineTransform& a)
{
    CATransform3D t;
    t.m11 = a.a;
    t.m12 = a.b;
    t.m21 = a.c;
    t.m22 = a.d;
    t.m41 = a.tx;
    t.m42 = a.ty;
    return t;
}

CATransform3D CATransform3D::concat(const CATransform3D& b) const
{
    const double A[4][4]
        = { { m11, m12, m13, m14 }, { m21, m22, m23, m24 }, { m31, m32, m33, m34 }, { m41, m42, m43, m44 } };
    const double B[4][4] = { { b.m11, b.m12, b.m13, b.m14 }, { b.m21, b.m22, b.m23, b.m24 },
        { b.m31, b.m32, b.m33, b.m34 }, { b.m41, b.m42, b.m43, b.m44 } };
    double R[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += A[i][k] * B[k][j];
            R[i][j] = sum;
        }
    }
    return { R[0][0], R[0][1], R[0][2], R[0][3], R[1][0], R[1][1], R[1][2], R[1][3], R[2][0], R[2][1], R[2][2], R[2][3],
        R[3][0], R[3][1], R[3][2], R[3][3] };
}

CATransform3D CATransform3D::rotated(double radians, double x, double y, double z) const
{
    // The new turn applies first, as the phone's builder functions do.
    return makeRotation(radians, x, y, z).concat(*this);
}

platform::AffineTransform CATransform3D::affine() const { return { m11, m12, m21, m22, m41, m42 }; }
