#include "tortool/workshop.h"

#include <array>
#include <cmath>
#include <cstdio>

#if defined(KEVRANO_HAVE_STEP)
#include "cad/step_writer.h"
#endif
#if defined(KEVRANO_HAVE_DXF)
#include "cad/dxf_writer.h"
#endif
#include "tortool/cli_support.h"

namespace tortool {
namespace {

std::string Number(double x) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%.6g", x);
  return buffer.data();
}

}  // namespace

std::string MassRows(const torfile::Mesh& file, double volume, const MassOptions& options) {
  const std::optional<double> density =
      options.material ? std::optional<double>(options.material->density) : options.density;
  if (!density) return "";
  const double grams = cad::MassGrams(volume, torfile::MillimetresPer(file.unit), *density);
  std::string text;
  if (options.material) {
    // The preset's dielectric constant beside the file's, which the design used
    const cad::Material& m = *options.material;
    std::string row =
        std::string(m.name) + ", dielectric constant " + Number(m.dielectric_constant);
    if (std::abs(m.dielectric_constant - file.dielectric) > 0.005 * m.dielectric_constant) {
      row += " (the file's: " + Number(file.dielectric) + ")";
    }
    text += SummaryRow("material", row + ", density " + Number(m.density) + " g/cm^3");
  }
  text += SummaryRow("mass", Number(grams) + " g at " + Number(*density) + " g/cm^3");
  return text;
}

std::string CommandName(WorkshopFile kind) { return kind == WorkshopFile::kStep ? "step" : "dxf"; }

std::optional<std::string> MissingWriter(WorkshopFile kind) {
#if defined(KEVRANO_HAVE_STEP)
  if (kind == WorkshopFile::kStep) return std::nullopt;
#endif
#if defined(KEVRANO_HAVE_DXF)
  if (kind == WorkshopFile::kDxf) return std::nullopt;
#endif
  return kind == WorkshopFile::kStep
             ? "step is not in this build: OpenCASCADE (libocct-data-exchange-dev) was missing"
             : "dxf is not in this build: dxflib (libdxflib-dev) was missing";
}

bool WriteWorkshopFile(WorkshopFile kind, [[maybe_unused]] const torfile::Mesh& file,
                       [[maybe_unused]] const torfile::Outline& outline,
                       [[maybe_unused]] const std::string& path, std::string* error) {
  bool written = false;
#if defined(KEVRANO_HAVE_STEP)
  if (kind == WorkshopFile::kStep) written = cad::WriteStep(file, outline, path, error);
#endif
#if defined(KEVRANO_HAVE_DXF)
  if (kind == WorkshopFile::kDxf) written = cad::WriteDxf(file, outline, path, error);
#endif
  if (!written && error->empty()) *error = *MissingWriter(kind);
  return written;
}

std::string WrittenLine(WorkshopFile kind, const std::string& shown, const torfile::Mesh& file,
                        const std::string& path) {
  const std::string unit(torfile::UnitName(file.unit));
  if (kind == WorkshopFile::kStep) {
    return OneLine(shown) + ": solid of revolution written to " + OneLine(path) +
           " (STEP AP214, unit " + unit + ")\n";
  }
  return OneLine(shown) + ": half-profile written to " + OneLine(path) +
         " (DXF, layers faces, rim and axis, unit " + unit + ")\n";
}

}  // namespace tortool
