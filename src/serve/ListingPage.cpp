#include "ListingPage.h"

#include <QDateTime>
#include <QString>

#include <algorithm>

#include "ContentType.h"
#include "RequestPath.h"

namespace varnholt::serve {

namespace {

// Invalid UTF-8 shows as U+FFFD, and characters that would break a line or
// drive a terminal as well, so a name is one line of plain text.
QByteArray escaped(const QByteArray& name) {
    QString text = QString::fromUtf8(name);
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '&':
                out += QLatin1String("&amp;");
                break;
            case '<':
                out += QLatin1String("&lt;");
                break;
            case '>':
                out += QLatin1String("&gt;");
                break;
            case '"':
                out += QLatin1String("&quot;");
                break;
            case '\'':
                out += QLatin1String("&#39;");
                break;
            default:
                out += c.category() == QChar::Other_Control ? QChar(0xFFFD) : c;
        }
    }
    return out.toUtf8();
}

const char* iconOf(const QByteArray& kind) {
    if (kind == "folder")
        return "&#x1F4C1;";
    if (kind == "image")
        return "&#x1F5BC;&#xFE0F;";
    if (kind == "video")
        return "&#x1F3AC;";
    if (kind == "audio")
        return "&#x1F3B5;";
    if (kind == "text")
        return "&#x1F4C4;";
    if (kind == "archive")
        return "&#x1F4E6;";
    return "&#x1F4CE;";
}

constexpr char kStyle[] =
    "body{font:16px/1.4 system-ui,sans-serif;margin:0;background:#fafafa;color:#222}"
    "header{padding:12px 16px;background:#fff;border-bottom:1px solid #ddd}"
    "nav a{color:#0b57d0;text-decoration:none}h1{font-size:20px;margin:4px 0 8px}"
    ".zip{display:inline-block;padding:10px 14px;border-radius:8px;background:#0b57d0;"
    "color:#fff;text-decoration:none}ul{list-style:none;margin:0;padding:0}"
    "li a{display:flex;align-items:center;gap:12px;min-height:48px;padding:8px 16px;"
    "border-bottom:1px solid #eee;color:inherit;text-decoration:none}"
    ".i{font-size:24px;width:32px;text-align:center}.n{flex:1;overflow-wrap:anywhere}"
    ".m{font-size:13px;color:#666;text-align:right;white-space:nowrap}"
    ".up{margin-top:10px}.up input{max-width:100%;margin-bottom:6px}"
    ".up button{padding:10px 14px;border:0;border-radius:8px;background:#0b57d0;color:#fff;"
    "font:inherit}.up .p{margin-left:8px;color:#666}";

constexpr char kUploadForm[] =
    "<form class=\"up\" method=\"post\" enctype=\"multipart/form-data\">"
    "<input type=\"file\" name=\"file\" multiple> <button>Upload</button>"
    "<span class=\"p\"></span></form>"
    "<script>(function(){var f=document.querySelector('form.up');"
    "if(!f||!window.FormData||!('upload' in new XMLHttpRequest()))return;"
    "f.addEventListener('submit',function(e){e.preventDefault();"
    "var x=new XMLHttpRequest(),p=f.querySelector('.p');x.open('POST',location.href);"
    "x.upload.onprogress=function(v){if(v.lengthComputable)"
    "p.textContent=Math.floor(v.loaded*100/v.total)+'%'};"
    "x.onload=function(){if(x.status==200)location.reload();else p.textContent=x.responseText};"
    "x.onerror=function(){p.textContent='Upload failed'};"
    "x.send(new FormData(f))})})()</script>";

}  // namespace

QByteArray humanSize(qint64 bytes) {
    if (bytes < 1000) {
        return QByteArray::number(bytes) + " B";
    }
    static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1000 && unit < 5) {
        value /= 1000;
        ++unit;
    }
    const int decimals = value < 10 ? 1 : 0;
    return QByteArray::number(value, 'f', decimals) + ' ' + kUnits[unit];
}

void sortEntries(QList<PackageTree::Entry>& entries) {
    QList<std::pair<QByteArray, qsizetype>> keys;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        keys.append(
            {QString::fromUtf8(entries[i].name).normalized(QString::NormalizationForm_C).toUtf8(),
             i});
    }
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        const auto& ea = entries[a.second];
        const auto& eb = entries[b.second];
        if (ea.folder != eb.folder) {
            return ea.folder;
        }
        return a.first != b.first ? a.first < b.first : ea.name < eb.name;
    });
    QList<PackageTree::Entry> sorted;
    sorted.reserve(entries.size());
    for (const auto& key : keys) {
        sorted.append(entries[key.second]);
    }
    entries = std::move(sorted);
}

QByteArray listingPage(const QByteArray& packageName, const QList<QByteArray>& names,
                       QList<PackageTree::Entry> entries, const QByteArray& base, bool uploadForm) {
    sortEntries(entries);
    const QByteArray title = escaped(names.isEmpty() ? packageName : names.back());
    QByteArray page;
    page.reserve(1024 + entries.size() * 256);
    page +=
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>" +
        title + "</title><style>" + kStyle + "</style></head><body><header><nav>";
    QByteArray href = base + '/';
    page += "<a href=\"" + href + "\">" + escaped(packageName) + "</a>";
    for (const QByteArray& name : names) {
        href += percentEncoded(name) + '/';
        page += " / <a href=\"" + href + "\">" + escaped(name) + "</a>";
    }
    page += "</nav><h1>" + title + "</h1><a class=\"zip\" href=\"?zip\">Download all (.zip)</a>" +
            (uploadForm ? kUploadForm : "") + "</header><ul>\n";
    for (const PackageTree::Entry& entry : entries) {
        const QByteArray link = percentEncoded(entry.name) + (entry.folder ? "/" : "");
        const QByteArray when =
            QDateTime::fromSecsSinceEpoch(entry.modified).toString("yyyy-MM-dd HH:mm").toUtf8();
        page += "<li><a href=\"" + link + "\"><span class=\"i\">" +
                iconOf(kindOf(entry.name, entry.folder)) + "</span><span class=\"n\">" +
                escaped(entry.name) + "</span><span class=\"m\">" +
                (entry.folder ? QByteArray() : humanSize(entry.size) + "<br>") + when +
                "</span></a></li>\n";
    }
    page += "</ul></body></html>\n";
    return page;
}

}  // namespace varnholt::serve
