// The map formats built into the program, registered on first use of the
// format list (the last registered is probed first).
#include "mapdata/map_parser.h"
#include "mapdata/img_parser.h"
#include "mapdata/zem_parser.h"
#include "mapdata/zidx_parser.h"

namespace velka {

void RegisterBuiltinMapFormats() {
    RegisterMapFormat(&ZemMapFormat());
    RegisterMapFormat(&ImgMapFormat());
    RegisterMapFormat(&ZidxMapFormat());
}

} // namespace velka
