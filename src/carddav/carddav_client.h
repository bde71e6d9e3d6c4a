#pragma once

// CardDAV (RFC 6352) over Qt Network: finding the address book from a server's address
// (RFC 6764), listing its cards, reading them in batches and writing them conditionally. One
// connection is kept open for every request of a run. Requests wait in a local event loop, so
// the engine may call them as plain functions.

#include <QMap>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <string>
#include <vector>

#include "sync/sync_engine.h"

namespace tsunagi {

struct AddressBook {
    QUrl url;
    QString name;
};

class CardDavClient : public CardDavTransport {
  public:
    // Refuses (TsunagiError) an address that is neither HTTPS nor plain HTTP to this machine.
    CardDavClient(const QUrl& url, const QString& user, const QString& password);

    // The address books at the address: the address itself where it is one, else those found
    // from the server's root, its /.well-known/carddav and the user's principal.
    std::vector<AddressBook> discover();
    void useBook(const QUrl& book) { book_ = book; }
    const QUrl& book() const { return book_; }
    // The requests made, for the tests' counting.
    int requests() const { return requests_; }

    std::map<std::string, std::string> listCards() override;
    std::vector<ServerCard> fetchCards(const std::vector<std::string>& hrefs) override;
    std::string hrefFor(const std::string& name) override;
    std::optional<Changes> changesSince(const std::string& token) override;
    // Lists by ETags alone, as for a server without sync-collection (for the tests).
    void avoidSyncCollection() { syncCollection_ = false; }
    PutAnswer putCard(const std::string& href, const std::string& card,
                      const std::string& ifMatch) override;
    PutAnswer deleteCard(const std::string& href, const std::string& ifMatch) override;

    struct Answer {
        int status = 0;
        QByteArray body;
        QByteArray etag, location;
        QString error;  // the network's words where no answer came
    };
    Answer send(const QByteArray& method, const QUrl& url, const QByteArray& body = {},
                const QList<QPair<QByteArray, QByteArray>>& headers = {});

  private:
    // A request's answer where it must be 2xx; throws TsunagiError naming what failed.
    Answer expect(const QByteArray& method, const QUrl& url, const QByteArray& body,
                  const QList<QPair<QByteArray, QByteArray>>& headers);

    QNetworkAccessManager network_;
    QUrl url_, book_;
    QString user_, password_;
    // The Authorization header of a request: Basic, or Digest once the server asked for it.
    QByteArray authorization(const QByteArray& method, const QUrl& url);

    QMap<QByteArray, QByteArray> digest_;  // the server's Digest challenge, where it made one
    int nonceCount_ = 0;                   // requests made with its nonce
    bool refused_ = false;
    int requests_ = 0;
    bool syncCollection_ = true;  // until the server shows it has none
};

}  // namespace tsunagi
