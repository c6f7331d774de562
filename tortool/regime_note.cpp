#include "tortool/regime_note.h"

#include <array>
#include <cstdio>

namespace tortool {

std::string RegimeNote(double diameter_wavelengths, int32_t zone_steps, bool fullwave_built) {
  const bool small = diameter_wavelengths < 10.0;
  if (!small && zone_steps <= 0) return "";
  std::array<char, 32> size{};
  std::snprintf(size.data(), size.size(), "%.1f", diameter_wavelengths);
  std::string note = "  ray-trace regime      ";
  if (zone_steps > 0) {
    note += std::to_string(zone_steps) + (zone_steps == 1 ? " zone step" : " zone steps") +
            (small ? std::string(" on ") + size.data() + " wavelengths" : std::string()) +
            ": the walls diffract, so directivity is likely lower and sidelobes higher";
  } else {
    note += std::string(size.data()) +
            " wavelengths across: diffraction likely adds directivity and raises sidelobes";
  }
  if (fullwave_built) note += "; check with kevrano-tor fullwave";
  return note + "\n";
}

std::string RegimeNote(const torfile::Mesh& mesh, const torfile::Outline& outline,
                       double wavelength) {
#ifdef KEVRANO_HAVE_FULLWAVE
  constexpr bool kFullwaveBuilt = true;
#else
  constexpr bool kFullwaveBuilt = false;
#endif
  const torfile::Summary s = torfile::Summarize(mesh, outline);
  return RegimeNote(2.0 * s.lens_radius / wavelength, s.feed_steps + s.radiation_steps,
                    kFullwaveBuilt);
}

}  // namespace tortool
