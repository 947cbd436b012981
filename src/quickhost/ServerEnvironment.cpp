#include "ServerEnvironment.h"

#include <QDir>
#include <QSaveFile>

namespace varnholt::ServerEnvironment {

namespace {

// HTML is left alone: a page names its own encoding, and a charset in the
// header would override it. mimetypes is shared with the server module (which
// runs as __main__, apart from any copy we could import), so it is patched.
constexpr char kSiteCustomize[] =
    R"(# Written by Varnholt Control for the package servers it starts.
import mimetypes

_TEXT_TYPES = ('application/javascript', 'application/json')


def _with_charset(result):
    kind, encoding = result
    if (kind and encoding is None and 'charset' not in kind and kind != 'text/html'
            and (kind.startswith('text/') or kind in _TEXT_TYPES)):
        kind += '; charset=utf-8'
    return kind, encoding


def _wrap(name):
    original = getattr(mimetypes, name, None)
    if original is not None:
        setattr(mimetypes, name, lambda *args, **kwargs: _with_charset(original(*args, **kwargs)))


_wrap('guess_type')
_wrap('guess_file_type')
)";

}  // namespace

QStringList prepare(const QString& folder) {
    if (!QDir().mkpath(folder)) {
        return {};
    }
    QSaveFile file(folder + QStringLiteral("/sitecustomize.py"));
    if (!file.open(QIODevice::WriteOnly) || file.write(kSiteCustomize) < 0 || !file.commit()) {
        return {};
    }
    return {QStringLiteral("PYTHONPATH=") + folder, QStringLiteral("PYTHONDONTWRITEBYTECODE=1")};
}

}  // namespace varnholt::ServerEnvironment
