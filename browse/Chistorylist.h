// A history of searches in report form: name, picture count, date and
// address, one row a project. Activating a row opens its project; Delete
// moves the selected projects' folders to the trash after asking.
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
    // The date a row shows: when the project was last written, in the
    // user's locale with the whole year.
    static QString DateShown(const store::HistoryEntry& e);
    const QString& Key() const { return key_; }
    QStringList SelectedFolders() const;
    // Asks "Confirm Project Delete" and removes the selected projects;
    // returns the folders removed.
    QStringList DeleteSelected();
    void InvertSelection();

    // The question, answered with QMessageBox::Yes, No or Cancel; a message
    // box unless replaced (tests).
    std::function<int(const QString& question)> ask;
    // The trash cannot take a project: true deletes it for good.
    std::function<bool(const QString& question)> askDeleteForGood;

signals:
    void ProjectActivated(const QString& folder);
    void ProjectsDeleted(const QStringList& folders);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ShowMenu(const QPoint& pos);
    QString key_;
};

}  // namespace pq
