#include "save_run.h"

namespace ostrum::selection {

void SaveFromTape(SaveRun& run) { run.SourceFailed("saving from a tape is not available yet"); }

}  // namespace ostrum::selection
