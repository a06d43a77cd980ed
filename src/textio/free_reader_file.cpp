#include "textio/free_reader.hpp"

namespace rcwa::textio {

// Kept apart from the reader so that code reading only strings does not pull
// in the file layer.
bool file_source::open(std::string_view name, bool deny_writers) { return file_.open(name, deny_writers); }

}  // namespace rcwa::textio
