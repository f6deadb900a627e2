#pragma once

// A bus object of a test served at "/": answers every call with its handler
// and counts the calls by member.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMap>

#include <functional>

namespace kova::test {

class FakeBusObject : public QDBusVirtualObject {
public:
    using Handler = std::function<QVariantList(const QDBusMessage& call)>;
    explicit FakeBusObject(Handler handler) : m_handler(std::move(handler)) {}

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override
    {
        ++m_calls[call.member()];
        return connection.send(call.createReply(m_handler(call)));
    }
    int calls(const QString& member) const { return m_calls.value(member); }

    // Serves under `name` on a connection of its own, named `name`.
    void serve(const QString& address, const QString& name)
    {
        QDBusConnection connection = QDBusConnection::connectToBus(address, name);
        connection.registerVirtualObject(QStringLiteral("/"), this);
        connection.registerService(name);
    }

private:
    Handler m_handler;
    QMap<QString, int> m_calls;
};

} // namespace kova::test
