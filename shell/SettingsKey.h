// The settings store: an INI file kept with QSettings. Same value names and
// text forms as the original store; values are read whole, whatever their
// length. Used on the user-interface thread only.
#pragma once

#include <QString>
#include <memory>
#include <string>

class QSettings;

namespace pq {

class SettingsKey {
public:
    SettingsKey();
    ~SettingsKey();

    // Opens the file (it need not exist yet); remembers the path.
    bool Open(const QString& path);
    // Replaces text only when the value exists; otherwise text keeps what it held.
    bool Read(const std::string& name, std::string& text) const;
    void Write(const std::string& name, const std::string& text);
    // Removes the value of that name (and a group of that name, if any).
    void Remove(const std::string& name);
    // Writes what changed to the file and closes it; closing twice is harmless.
    void Close();
    bool IsOpen() const { return settings_ != nullptr; }
    const QString& Path() const { return path_; }

    // The file the program uses: $PELQUINAR_CONFIG when set, else
    // $XDG_CONFIG_HOME/Pelquinar/Pelquinar.conf.
    static QString DefaultPath();

private:
    std::unique_ptr<QSettings> settings_;
    QString path_;
};

}  // namespace pq
