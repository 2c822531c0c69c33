#pragma once

#include "platform/graphics/Geometry.h"

// A layer transform. The screens only turn layers about the z axis and flip
// them about x or y (a half turn about x is a vertical mirror image on a flat
// screen), so the 4 × 4 matrix is kept for its algebra and drawn through its
// flat (x, y) part: perspective is not modelled.
struct CATransform3D {
    // Row-vector convention as on the phone: p' = p · M.
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

    bool operator==(const CATransform3D&) const = default;

    static CATransform3D identity() { return {}; }
    static CATransform3D makeTranslation(double tx, double ty, double tz);
    static CATransform3D makeScale(double sx, double sy, double sz);
    // A turn by the angle (radians) about the axis (x, y, z); a zero axis gives identity.
    static CATransform3D makeRotation(double radians, double x, double y, double z);
    static CATransform3D makeAffine(const platform::AffineTransform& t);

    bool isIdentity() const { return *this == identity(); }
    // This transform, then `then`.
    CATransform3D concat(const CATransform3D& then) const;
    CATransform3D rotated(double radians, double x, double y, double z) const;
    // The flat part that the renderer draws with.
    platform::AffineTransform affine() const;
};
