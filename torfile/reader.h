#ifndef KEVRANO_TORFILE_READER_H_
#define KEVRANO_TORFILE_READER_H_

// The reader of tor files: text in, the Mesh it describes out. Every node and
// segment keeps the line it was read from, so that later checks can point at
// it.
//
// The reader is strict about the records: their order, their words, the number
// of fields in each row, node and segment numbers 1, 2, 3, ... in order, the
// constant columns of the segment rows and the unit names. It is lenient about
// the amount of blank space between fields (columns are not counted), trailing
// blanks, and line ends (CR LF or LF; the last record may lack its line end).

#include <string_view>

#include "torfile/mesh.h"

namespace torfile {

/// Reads a whole tor file from its text. Returns false and sets `error` at
/// the first record that does not fit; `file` is then unspecified.
bool ParseTor(std::string_view text, Mesh* file, Problem* error);

}  // namespace torfile

#endif  // KEVRANO_TORFILE_READER_H_
