#!/usr/bin/env python3
"""An independent far field of a lens from the per-ray table of kevrano-tor analyse.

The field is integrated over the lens's exit face as it is (curved, of
revolution), not over a plane: each ray tube carries its power through the
strip of the face between the midpoints to its neighbours' exit points, its
phase is the optical path from the feed to its exit point, and the Kirchhoff
factor (n.s + n.r)/2 weighs each element (n the face normal, s the ray's exit
direction, r the far-field direction). The azimuth is integrated numerically.

    E(theta) = sum over tubes of A e^{-jkL} (n.s + n.r)/2 e^{jk r.x} dS
    gain(theta) = 4 pi |E|^2 / lambda^2   (powers are fractions of the feed's)

Usage: exit_face_check.py RAYS.csv WAVELENGTH
Prints the gain on the axis in dBi and the half-power beamwidth in degrees.
Standard library only.
"""

import cmath
import csv
import math
import sys


def read_tubes(path):
    """Transmitted rays in order: (zone key, exit z, exit r, exit angle, path, power)."""
    rays = []
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            if row["fate"] != "transmitted":
                continue
            rays.append({
                "ray": int(row["ray"]),
                "zone": (row["entry_zone"], row["exit_zone"]),
                "z": float(row["exit_z"]),
                "r": float(row["exit_r"]),
                "angle": math.radians(float(row["exit_angle_deg"])),
                "path": float(row["path_to_exit"]),
                "power": float(row["exit_power"]),
            })
    return rays


def elements(rays):
    """Each tube as a strip of the face: centre, area, face normal, power density."""
    out = []
    n = len(rays)
    for i, ray in enumerate(rays):
        def same_run(j):
            return (0 <= j < n and abs(rays[j]["ray"] - ray["ray"]) == 1
                    and rays[j]["zone"] == ray["zone"])
        prev_ok, next_ok = same_run(i - 1), same_run(i + 1)
        if prev_ok:
            a = ((rays[i - 1]["z"] + ray["z"]) / 2, (rays[i - 1]["r"] + ray["r"]) / 2)
        elif ray["r"] == 0.0:
            a = (ray["z"], 0.0)
        else:
            a = None
        if next_ok:
            b = ((rays[i + 1]["z"] + ray["z"]) / 2, (rays[i + 1]["r"] + ray["r"]) / 2)
        else:
            b = None
        # A run's end takes the half of its neighbour's strip on the other side
        if a is None and b is not None:
            a = (2 * ray["z"] - b[0], 2 * ray["r"] - b[1])
        if b is None and a is not None:
            b = (2 * ray["z"] - a[0], 2 * ray["r"] - a[1])
        if a is None or b is None or ray["power"] <= 0.0:
            continue
        dz, dr = b[0] - a[0], b[1] - a[1]
        ds = math.hypot(dz, dr)
        if ds == 0.0:
            continue
        # Normal of the strip, turned to face the way the ray leaves
        nz, nr = dr / ds, -dz / ds
        sz, sr = math.cos(ray["angle"]), math.sin(ray["angle"])
        if nz * sz + nr * sr < 0.0:
            nz, nr = -nz, -nr
        rho = abs(0.5 * (a[1] + b[1]))
        area = 2 * math.pi * rho * ds
        if rho == 0.0 or area == 0.0:
            continue
        cos_sn = nz * sz + nr * sr
        # Power through the strip = |A|^2 (s.n) area
        amplitude = math.sqrt(ray["power"] / (max(cos_sn, 1e-12) * area))
        out.append((ray["z"], abs(ray["r"]), area, nz, nr, cos_sn, amplitude, ray["path"]))
    return out


def field(elems, k, theta, azimuths):
    st, ct = math.sin(theta), math.cos(theta)
    total = 0j
    cos_phi = [math.cos(2 * math.pi * (m + 0.5) / azimuths) for m in range(azimuths)]
    for z, rho, area, nz, nr, cos_sn, amplitude, path in elems:
        base = amplitude * cmath.exp(-1j * k * path) * cmath.exp(1j * k * z * ct)
        s = 0j
        for c in cos_phi:
            n_dot_r = nz * ct + nr * st * c
            s += (cos_sn + n_dot_r) * 0.5 * cmath.exp(1j * k * rho * st * c)
        total += base * s * area / azimuths
    return total


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: exit_face_check.py RAYS.csv WAVELENGTH")
    rays = read_tubes(sys.argv[1])
    wavelength = float(sys.argv[2])
    k = 2 * math.pi / wavelength
    elems = elements(rays)
    rho_max = max(e[1] for e in elems)

    def azimuths(theta):
        return max(16, int(2 * k * rho_max * math.sin(theta)) + 16)

    def gain(theta):
        return 4 * math.pi * abs(field(elems, k, theta, azimuths(theta))) ** 2 / wavelength ** 2

    on_axis = gain(0.0)
    # Half power: step out, then bisect
    lo, hi = 0.0, wavelength / (8 * rho_max)
    while gain(hi) > 0.5 * on_axis:
        lo, hi = hi, 2 * hi
    for _ in range(40):
        mid = 0.5 * (lo + hi)
        if gain(mid) > 0.5 * on_axis:
            lo = mid
        else:
            hi = mid
    print("exit-face gain %.3f dBi, half-power beamwidth %.4f deg, %d tubes"
          % (10 * math.log10(on_axis), 2 * math.degrees(0.5 * (lo + hi)), len(elems)))


if __name__ == "__main__":
    main()
