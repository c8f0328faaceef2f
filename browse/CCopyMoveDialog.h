// "Copy Files" / "Move Files": the source folder, the destination with the
// recently used folders (Delete, Delete All, Browser), OK and Cancel. OK
// puts the chosen folder first in the list of destinations, once.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;

namespace pq {

class CCopyMoveDialog : public QDialog {
    Q_OBJECT
public:
    // destinations: the settings' list, most recent first; changed in place
    // by Delete, Delete All and OK.
    CCopyMoveDialog(bool copy, const QString& sourceFolder, std::vector<std::string>& destinations,
                    QWidget* parent = nullptr);
    QString Destination() const;
    void accept() override;

    // The list rule of OK, for any caller: the folder moves to the front.
    static void PutFirst(std::vector<std::string>& list, const std::string& folder);

private:
    void Refill();

    std::vector<std::string>& destinations_;
    QLineEdit* destination_;
    QListWidget* list_;
};

}  // namespace pq
