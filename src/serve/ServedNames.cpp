#include "ServedNames.h"

namespace varnholt::serve {

bool isServableName(QByteArrayView name) {
    if (name.isEmpty() || name == "." || name == "..") {
        return false;
    }
    if (name.front() == '.') {
        return name == ".well-known";
    }
    return name != "Varnholt.command" && name != "HOW TO SHARE.txt";
}

}  // namespace varnholt::serve
