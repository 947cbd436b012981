// Upload names: whatever a client calls its file, the name it is saved
// under is one visible, bounded, valid UTF-8 name inside the folder, and
// saving it again keeps it.
#include <QString>

#include "FuzzInput.h"
#include "serve/ServedNames.h"
#include "serve/UploadName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    const QByteArray name = serve::safeUploadName(fuzz::bytes(data, size));
    fuzz::require(!name.isEmpty() && name.size() <= serve::kUploadNameBytes);
    fuzz::require(QString::fromUtf8(name).toUtf8() == name);
    fuzz::require(!name.contains('/') && !name.contains('\\'));
    for (const char c : name) {
        fuzz::require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    }
    fuzz::require(name.front() != '.' && name.front() != ' ');
    fuzz::require(name.back() != '.' && name.back() != ' ');
    fuzz::require(serve::safeUploadName(name) == name);
    const QByteArray second = serve::numberedName(name, 2);
    fuzz::require(second != name && !second.contains('/') && second.front() == name.front());
    fuzz::require(second.size() > serve::kUploadNameBytes ||
                  serve::safeUploadName(second) == second);
    fuzz::require(serve::isServableName(second) || !serve::isServableName(name));
    return 0;
}
