// A history of searches in report form: name, picture count, date and
// address, one row a project. Activating a row opens its project; Delete
// removes the selected projects' folders after asking.
// User-interface thread only.
#pragma once

#include <QTreeWidget>
#include <functional>
#include <vector>

#include "store/History.h"

namespace pq {

class Chistorylist : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kFolderRole = Qt::UserRole + 1;

    explicit Chistorylist(QWidget* parent = nullptr);

    void SetEntries(const std::vector<store::HistoryEntry>& entries, const QString& key);
    const QString& Key() const { return key_; }
    QStringList SelectedFolders() const;
    // Asks "Confirm Project Delete" and removes the selected projects;
    // returns the folders removed.
    QStringList DeleteSelected();
    void InvertSelection();

    // The question, answered with QMessageBox::Yes, No or Cancel; a message
    // box unless replaced (tests).
    std::function<int(const QString& question)> ask;

signals:
    void ProjectActivated(const QString& folder);
    void ProjectsDeleted(const QStringList& folders);

private:
    void ShowMenu(const QPoint& pos);
    QString key_;
};

}  // namespace pq
