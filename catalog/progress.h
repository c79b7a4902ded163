// How long work (an export, an import, an undo) reports how far it is: done of total
// units (total 0 when unknown). The answer false asks the work to stop at the next
// unit boundary; work calls it at least every kProgressStep units, and the caller
// decides how often to do anything (a window repaints a few times a second).
#ifndef CATALOG_PROGRESS_H_
#define CATALOG_PROGRESS_H_

#include <cstdint>
#include <functional>

namespace catalog {

using Progress = std::function<bool(int64_t done, int64_t total)>;
constexpr int64_t kProgressStep = 64;

}  // namespace catalog

#endif  // CATALOG_PROGRESS_H_
