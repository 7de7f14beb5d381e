#pragma once
#include <QString>
#include <QUrl>

// What a page shown in the built-in browser may do on its own. The user's own navigation (an
// address typed, Back, Forward, Refresh) is not subject to these rules.
namespace pagerules {

// Whether a page at `url` is on this computer (file:): such a page, and every frame in it, reaches
// no network.
bool isLocal(const QUrl& url);

// Whether a page at `from` may take the browser to `to`, by a link, a form, a script or a new
// window. A web page (http:, https:) leads only to web pages; a local page (file:) only to local
// pages, so what it may have read never leaves the machine; nothing leads to data:, javascript:,
// qrc: or any other scheme.
bool mayLeadTo(const QUrl& from, const QUrl& to);

// Whether a page at `page` may fetch `resource` (an image, a script, a request of its own): a
// local page reaches nothing beyond local files and what it holds itself (data:, blob:), so it
// reaches no network; a web page reaches no local file.
bool mayFetch(const QUrl& page, const QUrl& resource);

// The origin a page's dialog is captioned with: scheme, host and port ("http://127.0.0.1:8765"),
// "file://" for a local page; never anything the page chose.
QString originCaption(const QUrl& origin);

// A page's address cut to at most `maxChars` characters, for a line of status text.
QString shortAddress(const QUrl& url, qsizetype maxChars = 200);

} // namespace pagerules
