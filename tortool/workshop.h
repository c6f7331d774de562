#ifndef KEVRANO_TORTOOL_WORKSHOP_H_
#define KEVRANO_TORTOOL_WORKSHOP_H_

// What kevrano-tor makes for the workshop from a checked lens: the solid
// (step) and the half-profile drawing (dxf) written to a named file, and the
// mass that check prints beside the volume.

#include <optional>
#include <string>

#include "cad/materials.h"
#include "torfile/mesh.h"
#include "torfile/outline.h"

namespace tortool {

/// Where the density of a mass comes from: a number or a material preset.
struct MassOptions {
  std::optional<double> density;  // g/cm^3
  std::optional<cad::Material> material;
};

/// The summary rows of check for the mass (and the material's values beside
/// the file's dielectric constant); empty when no density was given.
std::string MassRows(const torfile::Mesh& file, double volume, const MassOptions& options);

enum class WorkshopFile { kStep, kDxf };

/// The command's name: "step" or "dxf".
std::string CommandName(WorkshopFile kind);

/// Why this build cannot write the file (its library was missing when it
/// was built), or nothing when it can.
std::optional<std::string> MissingWriter(WorkshopFile kind);

/// Writes the file of a checked lens to `path`. On failure returns false and
/// sets `error`; a file cut short is removed.
bool WriteWorkshopFile(WorkshopFile kind, const torfile::Mesh& file,
                       const torfile::Outline& outline, const std::string& path,
                       std::string* error);

/// The line the command prints when the file is written.
std::string WrittenLine(WorkshopFile kind, const std::string& shown, const torfile::Mesh& file,
                        const std::string& path);

}  // namespace tortool

#endif  // KEVRANO_TORTOOL_WORKSHOP_H_
