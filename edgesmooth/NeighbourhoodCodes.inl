// The neighbourhood codes' straight loop, included inside an anonymous namespace by the files built for
// one instruction set each. Nothing here may call an inline function shared with other files: the linker
// could keep this file's copy, built for an instruction set the processor lacks.

// The map bytes around a pixel: row dy (−3 … 1) and column dx (−3 … 3) of the pixel.
struct Around {
    const uint8_t* rows[5];
    int32_t x;
    uint8_t operator()(int dx, int dy) const noexcept { return rows[dy + 3][x + dx]; }
};

// One bit of a map byte as 0 or 1.
inline uint8_t Bit(uint8_t byte, int shift) noexcept {
    return static_cast<uint8_t>((byte >> shift) & 1);
}

// The codes of one pixel in byte arithmetic: every test is a 0 or 1, combined with &, | and ^ 1.
struct PixelCodes {
    uint8_t steps, fixes, jogs, active;
};

inline PixelCodes CodePixel(const Around& m, uint8_t rowAtLeast3) noexcept {
    const auto R = [&m](int dx, int dy) { return Bit(m(dx, dy), 0); };
    const auto B = [&m](int dx, int dy) { return Bit(m(dx, dy), 1); };
    const auto D = [&m](int dx, int dy) { return Bit(m(dx, dy), 2); };
    const auto A = [&m](int dx, int dy) { return Bit(m(dx, dy), 3); };
    const auto no = [](uint8_t b) { return static_cast<uint8_t>(b ^ 1); };

    const uint8_t right = R(0, 0), below = B(0, 0);

    // RampMayStart: along a row the first pixel beyond the step continues the boundary above or below it,
    // along a column left or right of it.
    const uint8_t rampLeft = right & no(R(-1, 0)) & ((no(R(-1, -1)) & B(-1, -1)) | (no(R(-1, 1)) & B(-1, 0)));
    const uint8_t rampRight = right & no(R(1, 0)) & ((no(R(1, -1)) & B(1, -1)) | (no(R(1, 1)) & B(1, 0)));
    const uint8_t rampUp = below & no(B(0, -1)) & ((no(B(-1, -1)) & R(-1, -1)) | (no(B(1, -1)) & R(0, -1)));
    const uint8_t rampDown = below & no(B(0, 1)) & ((no(B(-1, 1)) & R(-1, 1)) | (no(B(1, 1)) & R(0, 1)));
    const uint8_t rowTracers = right & R(0, 1) & no(below) & no(B(1, 0));
    const uint8_t columnTracers = below & B(-1, 0) & no(R(-1, 0)) & no(R(-1, 1));
    const uint8_t crossed = (A(0, 0) | A(0, -1)) & (D(0, 0) | D(0, -1));
    const uint8_t light = right & no(crossed);

    // IsLonePixel.
    const uint8_t left = R(-1, 0), top = B(0, -1);
    const uint8_t ul = D(-1, -1), ur = A(0, -1), dl = A(-1, 0), dr = D(0, 0);
    const uint8_t allSides = left & right & top & below;
    const uint8_t sides = static_cast<uint8_t>(left + right + top + below);
    const uint8_t threeSides = static_cast<uint8_t>(sides == 3);
    const uint8_t lone =
        (allSides & (dr | ul) & (ur | dl)) |
        (threeSides & no(ul & ur & dl & dr) &
         ((no(left) & ur & dr) | (no(right) & dl & ul) | (no(top) & dl & dr) | (no(below) & ur & ul)));

    const uint8_t steps = static_cast<uint8_t>(rampLeft | rampRight << 1 | rampUp << 2 | rampDown << 3 |
                                               rowTracers << 4 | columnTracers << 5 | light << 6 | lone << 7);

    // NotchRightTarget, for a right step.
    const uint8_t notchRightOpen = right & top;
    const uint8_t notchRight1 = notchRightOpen & no(left) & no(dr) & B(-1, -1) & B(-1, 0) & R(-2, 0) &
                                B(-2, -1) & R(-2, -1) & no(D(-2, -1)) & B(-2, -2);
    const uint8_t notchRight2 = notchRightOpen & left & R(0, -1) & no(ur) & B(1, -1) & R(1, -1) & R(0, -2) &
                                no(B(1, -2)) & R(1, -3) & no(A(1, -3));
    const uint8_t notchRight3 = notchRightOpen & left & no(notchRight2) & R(-1, -1) & B(-1, -1) & no(ul) &
                                R(-2, -1) & R(-1, -2) & no(B(-1, -2)) & B(-1, -3) & no(D(-2, -3));
    const uint8_t notchRight = static_cast<uint8_t>(notchRight1 | notchRight2 << 1 | notchRight3 * 3);

    // NotchBelowTarget, for a below step.
    const uint8_t hook = R(0, -1) & top & no(ur) & B(1, -1) & B(1, -2) & B(-1, -1) & R(-2, 0);
    const uint8_t notchBelow1 = below & no(left) & hook & no(A(-2, 0));
    const uint8_t notchBelow2 = below & left & (hook | top) & R(-1, -1) & B(-1, -1) & no(ul) & B(-1, -2) &
                                B(-2, -1) & no(R(-2, -1)) & R(-3, -1) & no(D(-3, -2));
    const uint8_t notchBelow3 = below & left & no(notchBelow2) & R(-1, -1) & R(0, -1) & no(top) & B(0, -2) &
                                R(-1, -2) & B(-1, -2) & no(D(-1, -2)) & R(-2, -2) & no(dr);
    const uint8_t notchBelow = static_cast<uint8_t>(notchBelow1 | notchBelow2 << 1 | notchBelow3 * 3);

    // NotchCornerTarget, for a pixel with both steps.
    const uint8_t cornerOpen = right & below & R(0, -1);
    const uint8_t notchCorner1 =
        cornerOpen & top & B(1, -1) & B(1, -2) & R(2, -1) & B(2, -1) & no(R(1, -1)) & no(A(2, -2)) & no(ur);
    const uint8_t notchCorner2 = cornerOpen & no(notchCorner1) & R(0, -2) & B(0, -2) & no(A(0, -2)) &
                                 R(-1, -1) & B(1, -2) & R(1, -2) & no(top) & no(dl);
    const uint8_t notchCorner = static_cast<uint8_t>(notchCorner1 | notchCorner2 << 1);

    // CornerRestoreTarget; the column limit of the first pattern is left to the caller.
    const uint8_t corner1 =
        right & rowAtLeast3 & no(D(0, -2)) & B(1, -2) & B(2, -2) & R(0, -1) & no(B(1, -1)) & no(R(1, -1));
    const uint8_t corner2 = right & B(-1, -1) & top & no(ur) & no(left) & no(below) & R(0, 1);
    const uint8_t corner3 = right & R(0, -1) & no(top) & B(-1, 0) & no(left) & below & no(dr);
    const uint8_t corner4 = below & no(right) & R(-1, -1) & no(top) & left & no(dl) & B(1, 0);
    const uint8_t cornerSelf = no(corner1) & (corner2 | corner3 | corner4);
    const uint8_t corner = static_cast<uint8_t>(corner1 | cornerSelf << 1);

    const uint8_t fixes =
        static_cast<uint8_t>(notchRight << kFixNotchRightShift | notchBelow << kFixNotchBelowShift |
                             notchCorner << kFixNotchCornerShift | corner << kFixCornerShift);

    // SoftenJogMoves.
    const uint8_t upperPair = right & top & B(1, -1) & no(R(0, -1));
    const uint8_t lowerPair = right & below & B(1, 0) & no(R(0, 1));
    const uint8_t leftPair = below & left & R(-1, 1) & no(B(-1, 0));
    const uint8_t rightPair = below & right & R(0, 1) & no(B(1, 0));
    const uint8_t jogs = static_cast<uint8_t>((upperPair & no(ul)) | (upperPair & no(A(1, -1))) << 1 |
                                              (lowerPair & no(dl)) << 2 | (lowerPair & no(D(1, 0))) << 3 |
                                              (leftPair & no(ul)) << 4 | (leftPair & no(A(-1, 1))) << 5 |
                                              (rightPair & no(ur)) << 6 | (rightPair & no(D(0, 1))) << 7);

    return PixelCodes{steps, fixes, jogs, static_cast<uint8_t>(right | below)};
}

// The codes of pixels [x0, x1) of the map row in rows[3] (rows[0 … 4] are map rows y − 3 … y + 1), into
// bytes[i] for pixel x0 + i. Local arrays, which the map rows cannot alias, so that the loop becomes
// vector code.
inline void CodeBytes(NeighbourhoodBytes& out, const uint8_t* const* rows, int32_t x0, int32_t x1,
                      uint8_t rowAtLeast3) noexcept {
    Around m{{rows[0], rows[1], rows[2], rows[3], rows[4]}, 0};
    uint8_t steps[kCodedPixels], fixes[kCodedPixels], jogs[kCodedPixels], active[kCodedPixels] = {};
    for (int32_t x = x0; x < x1; ++x) {
        m.x = x;
        const PixelCodes c = CodePixel(m, rowAtLeast3);
        steps[x - x0] = c.steps;
        fixes[x - x0] = c.fixes;
        jogs[x - x0] = c.jogs;
        active[x - x0] = c.active;
    }
    std::memcpy(out.steps, steps, sizeof steps);
    std::memcpy(out.fixes, fixes, sizeof fixes);
    std::memcpy(out.jogs, jogs, sizeof jogs);
    std::memcpy(out.active, active, sizeof active);
}
