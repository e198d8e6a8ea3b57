#pragma once

#include <string>
#include <vector>

namespace quillmark {

// Rows of fields, addressed by 0-based row and column index. After a load
// every row has the same number of fields. A field holds only its value:
// whether it was quoted in the file is not recorded.
using TCsvRow = std::vector<std::u16string>;
using TCsvTable = std::vector<TCsvRow>;

}  // namespace quillmark
