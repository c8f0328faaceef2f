#include "browse/Wallpaper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include "browse/PictureLoader.h"

namespace pq {

namespace {

// Runs a desktop tool and gives back its output; false when it cannot run
// or fails.
bool RunTool(const QString& program, const QStringList& args, QString* out = nullptr) {
    if (QStandardPaths::findExecutable(program).isEmpty()) return false;
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return true;
}

// A GVariant string literal: quoted, with quotes and backslashes escaped.
QString VariantString(const QString& s) {
    QString e = s;
    e.replace('\\', "\\\\").replace('\'', "\\'");
    return "'" + e + "'";
}

QString UnquoteVariant(QString s) {
    if (s.size() >= 2 && s.startsWith('\'') && s.endsWith('\'')) {
        s = s.mid(1, s.size() - 2);
        s.replace("\\'", "'").replace("\\\\", "\\");
    }
    return s;
}

class GSettingsWallpaper : public IDesktopWallpaper {
public:
    GSettingsWallpaper(QString schema, bool pathNotUri)
        : schema_(std::move(schema)), pathNotUri_(pathNotUri) {}
    QString Name() const override { return schema_; }
    QString PictureKey() const { return pathNotUri_ ? "picture-filename" : "picture-uri"; }
    bool Available() const override {
        QString keys;
        return RunTool("gsettings", {"list-keys", schema_}, &keys) &&
               keys.split('\n').contains(PictureKey());
    }
    Value Get() const override {
        Value v;
        QString out;
        if (RunTool("gsettings", {"get", schema_, PictureKey()}, &out))
            v.picture = UnquoteVariant(out);
        if (RunTool("gsettings", {"get", schema_, "picture-options"}, &out))
            v.option = UnquoteVariant(out);
        return v;
    }
    bool Set(const Value& v) override {
        QString picture = v.picture;
        if (!pathNotUri_ && !picture.isEmpty() && !picture.contains("://"))
            picture = QUrl::fromLocalFile(picture).toString();
        bool ok = RunTool("gsettings", {"set", schema_, PictureKey(), VariantString(picture)});
        // GNOME keeps a second picture for its dark style.
        QString keys;
        if (ok && !pathNotUri_ && RunTool("gsettings", {"list-keys", schema_}, &keys) &&
            keys.split('\n').contains("picture-uri-dark"))
            ok = RunTool("gsettings", {"set", schema_, "picture-uri-dark", VariantString(picture)});
        if (ok && !v.option.isEmpty())
            ok = RunTool("gsettings", {"set", schema_, "picture-options", VariantString(v.option)});
        return ok;
    }

private:
    QString schema_;
    bool pathNotUri_;
};

class XfceWallpaper : public IDesktopWallpaper {
public:
    QString Name() const override { return "XFCE"; }
    bool Available() const override { return !Properties().isEmpty(); }
    QStringList Properties() const {
        QString out;
        if (!RunTool("xfconf-query", {"-c", "xfce4-desktop", "-l"}, &out)) return {};
        QStringList images;
        for (const QString& p : out.split('\n'))
            if (p.endsWith("/last-image")) images.append(p);
        return images;
    }
    Value Get() const override {
        Value v;
        const QStringList props = Properties();
        if (props.isEmpty()) return v;
        RunTool("xfconf-query", {"-c", "xfce4-desktop", "-p", props.first()}, &v.picture);
        QString style;
        QString stylePath = props.first();
        stylePath.replace("/last-image", "/image-style");
        if (RunTool("xfconf-query", {"-c", "xfce4-desktop", "-p", stylePath}, &style))
            v.option = style == "2" ? kTiled : style == "5" ? kFullScreen : style;
        return v;
    }
    bool Set(const Value& v) override {
        const QString style = v.option == kTiled ? "2" : v.option == kFullScreen ? "5" : v.option;
        bool ok = true;
        for (const QString& p : Properties()) {
            ok = RunTool("xfconf-query", {"-c", "xfce4-desktop", "-p", p, "-s", v.picture}) && ok;
            if (style.isEmpty()) continue;
            QString s = p;
            s.replace("/last-image", "/image-style");
            ok = RunTool("xfconf-query", {"-c", "xfce4-desktop", "-p", s, "-s", style}) && ok;
        }
        return ok;
    }
};

class PlasmaWallpaper : public IDesktopWallpaper {
public:
    QString Name() const override { return "KDE Plasma"; }
    bool Available() const override {
        return !QStandardPaths::findExecutable("dbus-send").isEmpty();
    }
    // Plasma offers no plain way to read the picture back: the previous
    // wallpaper is not known there, and Restore has nothing to restore.
    Value Get() const override { return {}; }
    bool Set(const Value& v) override {
        if (v.picture.isEmpty()) return false;
        // FillMode 2 is "Tiled", 1 "Scaled and cropped".
        const int fill = v.option == kTiled ? 2 : 1;
        QString uri =
            v.picture.contains("://") ? v.picture : QUrl::fromLocalFile(v.picture).toString();
        uri.replace('\\', "\\\\").replace('"', "\\\"");
        const QString script =
            QStringLiteral(
                "for (const d of desktops()) { d.wallpaperPlugin = 'org.kde.image'; "
                "d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General']; "
                "d.writeConfig('Image', \"%1\"); d.writeConfig('FillMode', %2); }")
                .arg(uri)
                .arg(fill);
        return RunTool("dbus-send",
                       {"--session", "--dest=org.kde.plasmashell", "--type=method_call",
                        "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript", "string:" + script});
    }
};

}  // namespace

std::unique_ptr<IDesktopWallpaper> IDesktopWallpaper::GSettings(const QString& schema,
                                                                bool pathNotUri) {
    return std::make_unique<GSettingsWallpaper>(schema, pathNotUri);
}

std::unique_ptr<IDesktopWallpaper> IDesktopWallpaper::ForThisDesktop() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper();
    if (desktop.contains("CINNAMON")) return GSettings("org.cinnamon.desktop.background", false);
    if (desktop.contains("MATE")) return GSettings("org.mate.background", true);
    if (desktop.contains("GNOME") || desktop.contains("BUDGIE") || desktop.contains("UNITY"))
        return GSettings("org.gnome.desktop.background", false);
    if (desktop.contains("KDE")) return std::make_unique<PlasmaWallpaper>();
    if (desktop.contains("XFCE")) return std::make_unique<XfceWallpaper>();
    return nullptr;
}

CWallpaper::CWallpaper(IDesktopWallpaper* desktop, PreviousWallpaper previous, QString file)
    : desktop_(desktop), previous_(previous), file_(std::move(file)) {}

QString CWallpaper::DefaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/PQ wallpage.bmp";
}

QString CWallpaper::DesktopName() const { return desktop_ ? desktop_->Name() : QString(); }

bool CWallpaper::WriteFile(const QString& picture) {
    QDir().mkpath(QFileInfo(file_).absolutePath());
    if (QFileInfo(picture).suffix().toLower() == "bmp") {
        QFile in(picture);
        if (!in.open(QIODevice::ReadOnly)) return false;
        const QByteArray bytes = in.readAll();
        if (in.error() != QFile::NoError) return false;
        // Replaced whole or not at all: a shorter picture leaves no tail of
        // the longer one, and a failed write leaves the wallpaper as it was.
        QSaveFile out(file_);
        if (!out.open(QIODevice::WriteOnly)) return false;
        if (out.write(bytes) != bytes.size()) {
            out.cancelWriting();
            return false;
        }
        return out.commit();
    }
    return picture::ConvertToBmp(picture, file_);
}

void CWallpaper::SavePrevious() {
    const IDesktopWallpaper::Value now = desktop_->Get();
    const QString ours = QUrl::fromLocalFile(file_).toString();
    if (now.picture == file_ || now.picture == ours) return;
    previous_.wallpaper = now.picture.toStdString();
    previous_.tileWallpaper = now.option == IDesktopWallpaper::kTiled ? "1" : "0";
    previous_.wallpaperStyle = now.option.toStdString();
}

// A picture that cannot be written as the wallpaper file sets nothing: the
// desktop would only be given the previous file again, as if it had worked.
bool CWallpaper::SetTiled(const QString& picture) {
    problem_.clear();
    if (!CheckAvailable() || !Write(picture)) return false;
    SavePrevious();
    return Apply({file_, IDesktopWallpaper::kTiled});
}

bool CWallpaper::SetFullScreen(const QString& picture) {
    problem_.clear();
    if (!CheckAvailable()) return false;
    SavePrevious();
    if (!Write(picture)) return false;
    return Apply({file_, IDesktopWallpaper::kFullScreen});
}

bool CWallpaper::CheckAvailable() {
    if (Available()) return true;
    problem_ = QStringLiteral("This desktop's wallpaper setting cannot be reached.");
    return false;
}

bool CWallpaper::Write(const QString& picture) {
    if (WriteFile(picture)) return true;
    problem_ = QStringLiteral("%1 could not be made into the wallpaper file %2.")
                   .arg(picture.isEmpty() ? QStringLiteral("No picture") : picture, file_);
    return false;
}

bool CWallpaper::Apply(const IDesktopWallpaper::Value& value) {
    if (desktop_->Set(value)) return true;
    problem_ = QStringLiteral("%1 did not take the wallpaper.").arg(desktop_->Name());
    return false;
}

bool CWallpaper::Restore() {
    problem_.clear();
    if (!CheckAvailable()) return false;
    return Apply({QString::fromStdString(previous_.wallpaper),
                  QString::fromStdString(previous_.wallpaperStyle)});
}

}  // namespace pq
