#include "tortool/output_files.h"

#include <cstring>
#include <system_error>

#include "textio/file_identity.h"
#include "textio/replacing_file.h"

namespace tortool {

std::optional<std::string> OutputClash(const std::string& lens_path,
                                       const std::vector<OutputFile>& outputs,
                                       const std::vector<OutputFile>& inputs) {
  textio::RunFiles files;
  if (lens_path == "-") {
    files.AddStandardInput("the tor file on standard input");
  } else {
    files.AddInput("the tor file '" + lens_path + "'", lens_path);
  }
  for (const OutputFile& i : inputs) {
    if (!i.path.empty()) files.AddInput(i.option + " '" + i.path + "'", i.path);
  }
  for (const OutputFile& o : outputs) {
    if (!o.path.empty()) files.AddOutput(o.option + " '" + o.path + "'", o.path);
  }
  return files.Clash();
}

std::optional<std::string> WriteOutput(const std::string& path, std::string_view text) {
  int error = 0;
  std::unique_ptr<textio::ReplacingFile> file = textio::ReplacingFile::Open(path, &error);
  if (file) {
    file->stream().write(text.data(), static_cast<std::streamsize>(text.size()));
    if (file->Commit(&error)) return std::nullopt;
  }
  return "cannot write: " + std::generic_category().message(error);
}

std::optional<std::string> WriteOutputByName(
    const std::string& path,
    const std::function<bool(const std::string& name, std::string* error)>& write) {
  int error = 0;
  std::unique_ptr<textio::ReplacingFile> file = textio::ReplacingFile::Open(path, &error);
  if (!file) return "cannot write: " + std::generic_category().message(error);
  std::string message;
  if (!write(file->writing_path(), &message)) return message;  // the temporary file goes
  if (!file->Commit(&error)) return "cannot write: " + std::generic_category().message(error);
  return std::nullopt;
}

}  // namespace tortool
