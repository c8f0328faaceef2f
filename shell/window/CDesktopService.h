// The program on the session bus, as desktop programs are: the first start
// owns the name example.pelquinar.Pelquinar and answers the freedesktop.org
// application interface (org.freedesktop.Application: Activate, Open,
// ActivateAction) at /example/pelquinar/Pelquinar; a later start hands its
// paths, as file: URIs, to that window and ends. Without a session bus, or
// when the window there does not answer, a start keeps a window of its own.
// User-interface thread only.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <vector>

namespace pq {

class CDesktopService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    static constexpr const char* kName = "example.pelquinar.Pelquinar";
    static constexpr const char* kPath = "/example/pelquinar/Pelquinar";
    static constexpr const char* kInterface = "org.freedesktop.Application";
    // How long a start waits for the running window to take its paths.
    static constexpr int kHandOverMs = 10000;

    explicit CDesktopService(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);
    ~CDesktopService() override;

    enum class Start {
        kFirst,       // this start owns the name: it opens the window
        kHandedOver,  // the running window took the request: this start ends
        kAlone,       // no bus, or no answer: a window of its own, not on the bus
    };
    // Takes the name, or hands uris (none: just raise the window) to the
    // start that has it. error: why a hand-over failed.
    Start Claim(const QStringList& uris, const QVariantMap& platformData, QString* error = nullptr);
    bool Owner() const { return owner_; }

    // What a request from the bus does: uris to open (none: raise the
    // window) and the desktop's data; called once the request has had its
    // answer. Requests before it is set wait.
    using Handler = std::function<void(const QStringList& uris, const QVariantMap& platformData)>;
    void SetHandler(Handler handler);

    // What the desktop gave this start to pass on: "activation-token"
    // (Wayland) and "desktop-startup-id" (X11), when set.
    static QVariantMap PlatformData();

public slots:
    // org.freedesktop.Application, as the bus calls it.
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& action, const QVariantList& parameter,
                        const QVariantMap& platformData);

private:
    void Deliver(const QStringList& uris, const QVariantMap& platformData);

    QDBusConnection bus_;
    bool owner_ = false;
    Handler handler_;
    std::vector<std::pair<QStringList, QVariantMap>> waiting_;
};

}  // namespace pq
