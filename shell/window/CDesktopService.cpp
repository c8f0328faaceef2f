#include "shell/window/CDesktopService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace pq {

CDesktopService::CDesktopService(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {}

CDesktopService::~CDesktopService() {
    if (!owner_) return;
    bus_.unregisterObject(QLatin1String(kPath));
    bus_.unregisterService(QLatin1String(kName));
}

CDesktopService::Start CDesktopService::Claim(const QStringList& uris,
                                              const QVariantMap& platformData, QString* error) {
    if (!bus_.isConnected() || !bus_.interface()) {
        if (error) *error = QStringLiteral("no session bus");
        return Start::kAlone;
    }
    // The object first, then the name: a request that comes as soon as the
    // name is ours finds someone to answer it.
    if (bus_.registerObject(QLatin1String(kPath), this, QDBusConnection::ExportAllSlots)) {
        const auto reply = bus_.interface()->registerService(
            QLatin1String(kName), QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            owner_ = true;
            return Start::kFirst;
        }
        bus_.unregisterObject(QLatin1String(kPath));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kName), QLatin1String(kPath), QLatin1String(kInterface),
        uris.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    if (uris.isEmpty())
        call << platformData;
    else
        call << uris << platformData;
    const QDBusMessage answer = bus_.call(call, QDBus::Block, kHandOverMs);
    if (answer.type() == QDBusMessage::ReplyMessage) return Start::kHandedOver;
    if (error) *error = answer.errorMessage();
    return Start::kAlone;
}

void CDesktopService::SetHandler(Handler handler) {
    handler_ = std::move(handler);
    auto waiting = std::move(waiting_);
    waiting_.clear();
    for (auto& [uris, data] : waiting) Deliver(uris, data);
}

QVariantMap CDesktopService::PlatformData() {
    QVariantMap data;
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty()) data.insert(QStringLiteral("activation-token"), QString::fromUtf8(token));
    const QByteArray startup = qgetenv("DESKTOP_STARTUP_ID");
    if (!startup.isEmpty())
        data.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startup));
    return data;
}

void CDesktopService::Activate(const QVariantMap& platformData) { Deliver({}, platformData); }

void CDesktopService::Open(const QStringList& uris, const QVariantMap& platformData) {
    Deliver(uris, platformData);
}

void CDesktopService::ActivateAction(const QString&, const QVariantList&,
                                     const QVariantMap& platformData) {
    // The program names no actions: asking for one brings the window up.
    Deliver({}, platformData);
}

void CDesktopService::Deliver(const QStringList& uris, const QVariantMap& platformData) {
    if (!handler_) {
        waiting_.emplace_back(uris, platformData);
        return;
    }
    // After the answer has gone: what the request does may take a while
    // (a message box waits for the user), the other start should not.
    QMetaObject::invokeMethod(
        this,
        [this, uris, platformData] {
            if (handler_) handler_(uris, platformData);
        },
        Qt::QueuedConnection);
}

}  // namespace pq
