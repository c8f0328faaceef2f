// The two "Advanced Search" dialogs: keywords with the image style, and a
// site with its project name, depth, picture types, sizes and filter words.
// "Start" accepts; the caller runs the search with what they hold.
// User-interface thread only.
#pragma once

#include <QDialog>

#include "shell/CSearchCommands.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace pq {

class CAdvancedKeyDialog : public QDialog {
    Q_OBJECT
public:
    CAdvancedKeyDialog(const QString& keywords, bool thumbnails, bool big,
                       QWidget* parent = nullptr);
    std::string Keywords() const;
    bool Thumbnails() const;
    bool Big() const;

private:
    QLineEdit* keywords_;
    QCheckBox* thumbnails_;
    QCheckBox* big_;
};

class CAdvancedWebDialog : public QDialog {
    Q_OBJECT
public:
    // initial: the settings' values, and the project name of the address.
    CAdvancedWebDialog(const AdvancedWebOptions& initial, QWidget* parent = nullptr);
    AdvancedWebOptions Options() const;

private:
    QLineEdit* name_;
    QSpinBox* depth_;
    QCheckBox* jpg_;
    QCheckBox* gif_;
    QCheckBox* bmp_;
    QSpinBox* min_;
    QSpinBox* max_;
    QLineEdit* filter_;
};

}  // namespace pq
