// Fuzz target: any bytes as a gesture script. What the parser accepts is a script the renderer
// can play: rows, in order, with the pointer on the board.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tools/gesture_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<GestureRow> rows;
    std::string strError;
    if (!ParseGestureScript(in, rows, strError)) {
        if (strError.empty()) std::abort();
        return 0;
    }
    if (rows.empty()) std::abort();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const GestureRow& r = rows[i];
        if (!(r.dX >= 0 && r.dX <= 1 && r.dY >= 0 && r.dY <= 1)) std::abort();
        if (i > 0 && r.nSample < rows[i - 1].nSample) std::abort();
    }
    return 0;
}
