#include "carddav/carddav_client.h"

#include <QAuthenticator>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "platform/error.h"

namespace tsunagi {
namespace {

constexpr auto kDav = "DAV:";
constexpr auto kCardDav = "urn:ietf:params:xml:ns:carddav";
constexpr int kBatch = 100;  // cards read per multiget

bool loopback(const QUrl& url) {
    QString host = url.host();
    if (host == "localhost") return true;
    QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// The parameters of a Digest challenge ("Digest realm=\"x\", nonce=\"y\", qop=\"auth\""), lower-
// case names; empty where the answer offers no Digest. A header repeated comes joined by
// commas or line breaks, other schemes among them.
QMap<QByteArray, QByteArray> digestChallenge(const QByteArray& header) {
    QMap<QByteArray, QByteArray> said;
    qsizetype at = header.toLower().indexOf("digest ");
    if (at < 0 || (at > 0 && QByteArray(" ,\n").indexOf(header[at - 1]) < 0)) return said;
    QByteArray rest = header.mid(at + 7);
    for (qsizetype i = 0; i < rest.size();) {
        while (i < rest.size() && QByteArray(" ,\t\r\n").contains(rest[i])) ++i;
        qsizetype equals = rest.indexOf('=', i);
        qsizetype blank = rest.indexOf(' ', i);
        if (equals < 0 || (blank >= 0 && blank < equals)) break;  // another scheme
        QByteArray name = rest.mid(i, equals - i).trimmed().toLower();
        i = equals + 1;
        QByteArray value;
        if (i < rest.size() && rest[i] == '"') {
            for (++i; i < rest.size() && rest[i] != '"'; ++i) {
                if (rest[i] == '\\' && i + 1 < rest.size()) ++i;
                value += rest[i];
            }
            ++i;
        } else {
            while (i < rest.size() && !QByteArray(" ,\r\n").contains(rest[i])) value += rest[i++];
        }
        said.insert(name, value);
    }
    if (!said.contains("nonce")) said.clear();
    return said;
}

// One <response> of a multistatus answer, with what its 200 propstat holds.
struct DavResponse {
    QString href;
    QByteArray etag;
    bool collection = false, addressBook = false;
    QString displayName, principal, home;
    QByteArray addressData;
    QString status;  // the response's own status, where it has one (a member gone: 404)
};

std::vector<DavResponse> readMultistatus(const QByteArray& body, QString* syncToken = nullptr) {
    std::vector<DavResponse> responses;
    QXmlStreamReader xml(body);
    DavResponse current;
    QString propstatus;
    DavResponse pending;  // what the propstat being read holds
    QStringList path;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            QString name = xml.name().toString();
            QString ns = xml.namespaceUri().toString();
            QString parent = path.isEmpty() ? QString() : path.last();
            path.push_back(name);
            if (ns == kDav && name == "response") {
                current = DavResponse();
            } else if (ns == kDav && name == "propstat") {
                pending = DavResponse();
                propstatus.clear();
            } else if (ns == kDav && name == "href") {
                QString text = xml.readElementText().trimmed();
                path.pop_back();
                if (parent == "response")
                    current.href = text;
                else if (parent == "current-user-principal")
                    pending.principal = text;
                else if (parent == "addressbook-home-set")
                    pending.home = text;
            } else if (ns == kDav && name == "status") {
                (parent == "response" ? current.status : propstatus) = xml.readElementText();
                path.pop_back();
            } else if (ns == kDav && name == "sync-token" && parent == "multistatus") {
                QString token = xml.readElementText().trimmed();
                if (syncToken) *syncToken = token;
                path.pop_back();
            } else if (ns == kDav && name == "getetag") {
                pending.etag = xml.readElementText().trimmed().toUtf8();
                path.pop_back();
            } else if (ns == kDav && name == "displayname") {
                pending.displayName = xml.readElementText().trimmed();
                path.pop_back();
            } else if (ns == kDav && name == "collection" && parent == "resourcetype") {
                pending.collection = true;
            } else if (ns == kCardDav && name == "addressbook" && parent == "resourcetype") {
                pending.addressBook = true;
            } else if (ns == kCardDav && name == "address-data") {
                pending.addressData = xml.readElementText().toUtf8();
                path.pop_back();
            }
        } else if (xml.isEndElement()) {
            QString name = xml.name().toString();
            if (!path.isEmpty()) path.pop_back();
            if (name == "propstat" && xml.namespaceUri() == QLatin1String(kDav) &&
                (propstatus.isEmpty() || propstatus.contains(" 200"))) {
                if (!pending.etag.isEmpty()) current.etag = pending.etag;
                current.collection |= pending.collection;
                current.addressBook |= pending.addressBook;
                if (!pending.displayName.isEmpty()) current.displayName = pending.displayName;
                if (!pending.principal.isEmpty()) current.principal = pending.principal;
                if (!pending.home.isEmpty()) current.home = pending.home;
                if (!pending.addressData.isEmpty()) current.addressData = pending.addressData;
            } else if (name == "response" && xml.namespaceUri() == QLatin1String(kDav)) {
                responses.push_back(current);
            }
        }
    }
    if (xml.hasError())
        throw TsunagiError(
            "", 0, "サーバーの答えを読めません（" + xml.errorString().toStdString() + "）。");
    return responses;
}

QByteArray propfindBody(const QStringList& davProps, const QStringList& cardDavProps) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(kDav, "d");
    xml.writeNamespace(kCardDav, "c");
    xml.writeStartElement(kDav, "propfind");
    xml.writeStartElement(kDav, "prop");
    for (const QString& prop : davProps) xml.writeEmptyElement(kDav, prop);
    for (const QString& prop : cardDavProps) xml.writeEmptyElement(kCardDav, prop);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

const QList<QPair<QByteArray, QByteArray>> kXml = {
    {"Content-Type", "application/xml; charset=utf-8"}};

QList<QPair<QByteArray, QByteArray>> depth(const char* value) {
    auto headers = kXml;
    headers.append(qMakePair(QByteArray("Depth"), QByteArray(value)));
    return headers;
}

std::string refusal(int status) {
    if (status == 401) return "ユーザー名かパスワードが違います。何も変更していません。";
    if (status == 403) return "このアドレス帳を使う権限がありません。";
    if (status == 404) return "アドレス帳が見つかりません。";
    return "サーバーがエラーを返しました（HTTP " + std::to_string(status) + "）。";
}

}  // namespace

CardDavClient::CardDavClient(const QUrl& url, const QString& user, const QString& password)
    : url_(url), book_(url), user_(user), password_(password) {
    if (!url.isValid() || (url.scheme() != "https" && url.scheme() != "http"))
        throw TsunagiError(url.toString().toStdString(), 0,
                           "サーバーのアドレスは https:// で始めてください。");
    if (url.scheme() == "http" && !loopback(url))
        throw TsunagiError(url.toString().toStdString(), 0,
                           "暗号化されない http:// は、このコンピューターの中のサーバーにしか"
                           "使えません。https:// のアドレスを指定してください。");
    // Qt would answer a challenge itself, but writes the password in Latin-1, which no
    // password in Japanese survives (Basic and Digest alike): left unanswered, the challenge
    // comes back to send() as a 401.
    QObject::connect(&network_, &QNetworkAccessManager::authenticationRequired,
                     [](QNetworkReply*, QAuthenticator*) {});
}

QByteArray CardDavClient::authorization(const QByteArray& method, const QUrl& url) {
    // Basic in UTF-8 from the first request (RFC 7617), until a server asks for Digest.
    if (digest_.isEmpty()) return "Basic " + (user_ + ":" + password_).toUtf8().toBase64();
    // Digest as RFC 7616 says, the user and password in UTF-8: MD5 or SHA-256, with their
    // session forms, and qop=auth where the server offers it.
    QByteArray algorithm = digest_.value("algorithm", "MD5");
    QByteArray upper = algorithm.toUpper();
    bool session = upper.endsWith("-SESS");
    auto hash = [&](const QByteArray& text) {
        return QCryptographicHash::hash(text, upper.startsWith("SHA-256")
                                                  ? QCryptographicHash::Sha256
                                                  : QCryptographicHash::Md5)
            .toHex();
    };
    QByteArray realm = digest_.value("realm"), nonce = digest_.value("nonce");
    QByteArray uri = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    if (uri.isEmpty()) uri = "/";
    QByteArray cnonce = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    QByteArray count = QByteArray::number(++nonceCount_, 16).rightJustified(8, '0');
    QByteArray ha1 = hash(user_.toUtf8() + ":" + realm + ":" + password_.toUtf8());
    if (session) ha1 = hash(ha1 + ":" + nonce + ":" + cnonce);
    QByteArray ha2 = hash(method + ":" + uri);
    bool qop = false;
    for (const QByteArray& offered : digest_.value("qop").split(','))
        qop = qop || offered.trimmed().toLower() == "auth";
    QByteArray response =
        qop ? hash(ha1 + ":" + nonce + ":" + count + ":" + cnonce + ":auth:" + ha2)
            : hash(ha1 + ":" + nonce + ":" + ha2);
    auto quoted = [](const QByteArray& text) {
        QByteArray out = "\"";
        for (char c : text) {
            if (c == '"' || c == '\\') out += '\\';
            out += c;
        }
        return out + "\"";
    };
    QByteArray header = "Digest username=" + quoted(user_.toUtf8()) + ", realm=" + quoted(realm) +
                        ", nonce=" + quoted(nonce) + ", uri=" + quoted(uri) +
                        ", algorithm=" + algorithm + ", response=" + quoted(response);
    if (qop) header += ", qop=auth, nc=" + count + ", cnonce=" + quoted(cnonce);
    if (digest_.contains("opaque")) header += ", opaque=" + quoted(digest_.value("opaque"));
    return header;
}

CardDavClient::Answer CardDavClient::send(const QByteArray& method, const QUrl& url,
                                          const QByteArray& body,
                                          const QList<QPair<QByteArray, QByteArray>>& headers) {
    if (refused_) return {401, {}, {}, {}, {}};
    for (int attempt = 0;; ++attempt) {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        request.setHeader(QNetworkRequest::UserAgentHeader, "Tsunagi");
        request.setRawHeader("Authorization", authorization(method, url));
        for (const auto& [name, value] : headers) request.setRawHeader(name, value);
        ++requests_;
        QNetworkReply* reply = network_.sendCustomRequest(request, method, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished()) loop.exec();
        Answer answer;
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
        answer.etag = reply->rawHeader("ETag");
        answer.location = reply->rawHeader("Location");
        if (answer.status == 0) answer.error = reply->errorString();
        QByteArray challenge = reply->rawHeader("WWW-Authenticate");
        reply->deleteLater();
        if (answer.status != 401) return answer;
        // A server that wants Digest says so at the first request, and again with a new nonce
        // where the one in use grew stale: the request goes once more. Any other refusal is the
        // password's, and nothing more is sent.
        QMap<QByteArray, QByteArray> digest = digestChallenge(challenge);
        bool fresh =
            !digest.isEmpty() && (digest_.isEmpty() || digest.value("stale").toLower() == "true");
        if (attempt == 0 && fresh) {
            digest_ = digest;
            nonceCount_ = 0;
            continue;
        }
        refused_ = true;
        return answer;
    }
}

CardDavClient::Answer CardDavClient::expect(const QByteArray& method, const QUrl& url,
                                            const QByteArray& body,
                                            const QList<QPair<QByteArray, QByteArray>>& headers) {
    Answer answer = send(method, url, body, headers);
    if (answer.status == 0)
        throw TsunagiError(url.toString().toStdString(), 0,
                           "サーバーにつながりません（" + answer.error.toStdString() + "）。");
    if (answer.status < 200 || answer.status >= 300)
        throw TsunagiError(url.toString().toStdString(), 0, refusal(answer.status));
    return answer;
}

std::vector<AddressBook> CardDavClient::discover() {
    const QByteArray props = propfindBody({"resourcetype", "displayname", "current-user-principal"},
                                          {"addressbook-home-set"});
    auto books = [this](const QUrl& home) {
        std::vector<AddressBook> found;
        Answer answer =
            expect("PROPFIND", home, propfindBody({"resourcetype", "displayname"}, {}), depth("1"));
        for (const DavResponse& response : readMultistatus(answer.body))
            if (response.addressBook)
                found.push_back({home.resolved(QUrl(response.href)), response.displayName});
        return found;
    };
    // The address itself, where it is a book.
    Answer first = send("PROPFIND", url_, props, depth("0"));
    QUrl at = url_;
    if (first.status == 401) throw TsunagiError(url_.toString().toStdString(), 0, refusal(401));
    if (first.status == 0)
        throw TsunagiError(url_.toString().toStdString(), 0,
                           "サーバーにつながりません（" + first.error.toStdString() + "）。");
    std::vector<DavResponse> responses;
    if (first.status == 207) responses = readMultistatus(first.body);
    if (!responses.empty() && responses.front().addressBook)
        return {{url_, responses.front().displayName}};
    QString principal = responses.empty() ? QString() : responses.front().principal;
    QString home = responses.empty() ? QString() : responses.front().home;
    if (principal.isEmpty() && home.isEmpty()) {
        // RFC 6764: the server says where its CardDAV lives.
        QUrl known = url_.resolved(QUrl("/.well-known/carddav"));
        for (int hop = 0; hop < 5; ++hop) {
            Answer answer = send("PROPFIND", known, props, depth("0"));
            if (answer.status >= 300 && answer.status < 400 && !answer.location.isEmpty()) {
                known = known.resolved(QUrl::fromEncoded(answer.location));
                continue;
            }
            if (answer.status == 207) {
                std::vector<DavResponse> found = readMultistatus(answer.body);
                if (!found.empty()) {
                    principal = found.front().principal;
                    home = found.front().home;
                    at = known;
                }
            }
            break;
        }
    }
    if (home.isEmpty() && !principal.isEmpty()) {
        QUrl principalUrl = at.resolved(QUrl(principal));
        Answer answer = expect("PROPFIND", principalUrl, propfindBody({}, {"addressbook-home-set"}),
                               depth("0"));
        std::vector<DavResponse> found = readMultistatus(answer.body);
        if (!found.empty()) home = found.front().home;
        at = principalUrl;
    }
    if (home.isEmpty())
        throw TsunagiError(url_.toString().toStdString(), 0,
                           "このアドレスにはアドレス帳が見つかりません。");
    return books(at.resolved(QUrl(home)));
}

std::map<std::string, std::string> CardDavClient::listCards() {
    Answer answer =
        expect("PROPFIND", book_, propfindBody({"getetag", "resourcetype"}, {}), depth("1"));
    std::map<std::string, std::string> cards;
    for (const DavResponse& response : readMultistatus(answer.body))
        if (!response.collection && !response.etag.isEmpty())
            cards[response.href.toStdString()] = response.etag.toStdString();
    return cards;
}

std::vector<ServerCard> CardDavClient::fetchCards(const std::vector<std::string>& hrefs) {
    std::vector<ServerCard> cards;
    for (size_t start = 0; start < hrefs.size(); start += kBatch) {
        QByteArray body;
        QXmlStreamWriter xml(&body);
        xml.writeStartDocument();
        xml.writeNamespace(kDav, "d");
        xml.writeNamespace(kCardDav, "c");
        xml.writeStartElement(kCardDav, "addressbook-multiget");
        xml.writeStartElement(kDav, "prop");
        xml.writeEmptyElement(kDav, "getetag");
        xml.writeEmptyElement(kCardDav, "address-data");
        xml.writeEndElement();
        for (size_t h = start; h < hrefs.size() && h < start + kBatch; ++h)
            xml.writeTextElement(kDav, "href", QString::fromStdString(hrefs[h]));
        xml.writeEndElement();
        xml.writeEndDocument();
        Answer answer = expect("REPORT", book_, body, depth("0"));
        for (const DavResponse& response : readMultistatus(answer.body))
            if (!response.addressData.isEmpty())
                cards.push_back({response.href.toStdString(), response.etag.toStdString(),
                                 response.addressData.toStdString()});
    }
    return cards;
}

std::optional<CardDavTransport::Changes> CardDavClient::changesSince(const std::string& token) {
    if (!syncCollection_) return std::nullopt;
    auto report = [this](const QString& since) {
        QByteArray body;
        QXmlStreamWriter xml(&body);
        xml.writeStartDocument();
        xml.writeNamespace(kDav, "d");
        xml.writeStartElement(kDav, "sync-collection");
        xml.writeTextElement(kDav, "sync-token", since);
        xml.writeTextElement(kDav, "sync-level", "1");
        xml.writeStartElement(kDav, "prop");
        xml.writeEmptyElement(kDav, "getetag");
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEndDocument();
        return send("REPORT", book_, body, kXml);
    };
    Answer answer = report(QString::fromStdString(token));
    bool full = token.empty();
    if (!full && answer.status != 207) {
        // The server forgot the token (RFC 6578: valid-sync-token): everything, from the start.
        answer = report("");
        full = true;
    }
    if (answer.status == 401) throw TsunagiError(book_.toString().toStdString(), 0, refusal(401));
    Changes changes;
    QString next;
    std::vector<DavResponse> responses;
    if (answer.status == 207) responses = readMultistatus(answer.body, &next);
    if (next.isEmpty()) {
        syncCollection_ = false;  // not offered: the ETags of every card instead
        return std::nullopt;
    }
    changes.complete = full;
    changes.token = next.toStdString();
    for (const DavResponse& response : responses) {
        if (response.status.contains(" 404"))
            changes.removed.push_back(response.href.toStdString());
        else if (!response.collection && !response.etag.isEmpty())
            changes.changed[response.href.toStdString()] = response.etag.toStdString();
    }
    return changes;
}

CardDavTransport::PutAnswer CardDavClient::deleteCard(const std::string& href,
                                                      const std::string& ifMatch) {
    QUrl url = book_.resolved(QUrl::fromEncoded(QByteArray::fromStdString(href)));
    Answer answer = send("DELETE", url, {},
                         {qMakePair(QByteArray("If-Match"), QByteArray::fromStdString(ifMatch))});
    if (answer.status == 401) throw TsunagiError(url.toString().toStdString(), 0, refusal(401));
    return {answer.status, "", "", answer.error.toStdString()};
}

std::string CardDavClient::hrefFor(const std::string& name) {
    QString path = book_.path(QUrl::FullyEncoded);
    if (!path.endsWith('/')) path += '/';
    return (path + QString::fromStdString(name)).toStdString();
}

CardDavTransport::PutAnswer CardDavClient::putCard(const std::string& href, const std::string& card,
                                                   const std::string& ifMatch) {
    QList<QPair<QByteArray, QByteArray>> headers = {{"Content-Type", "text/vcard; charset=utf-8"}};
    if (ifMatch.empty())
        headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
    else
        headers.append(qMakePair(QByteArray("If-Match"), QByteArray::fromStdString(ifMatch)));
    QUrl url = book_.resolved(QUrl::fromEncoded(QByteArray::fromStdString(href)));
    Answer answer = send("PUT", url, QByteArray::fromStdString(card), headers);
    PutAnswer put;
    put.status = answer.status;
    put.etag = answer.etag.toStdString();
    if (!answer.location.isEmpty())
        put.location = book_.resolved(QUrl::fromEncoded(answer.location))
                           .path(QUrl::FullyEncoded)
                           .toStdString();
    put.error = answer.status == 0
                    ? answer.error.toStdString()
                    : QString::fromUtf8(answer.body.left(200)).trimmed().toStdString();
    if (answer.status == 401) throw TsunagiError(url.toString().toStdString(), 0, refusal(401));
    return put;
}

}  // namespace tsunagi
