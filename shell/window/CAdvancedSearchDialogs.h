// The two "Advanced Search" dialogs: keywords with the image style, and a
// site with its project name, depth, picture types, sizes (in KB and on
// screen) and filter words.
// "Start" accepts; the caller runs the search with what they hold.
// User-interface thread only.
#pragma once

#include <QDialog>

#include "shell/CSearchCommands.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class QLabel;

namespace pq {

class CAdvancedKeyDialog : public QDialog {
    Q_OBJECT
public:
    // engine: the search bar's service text, shown selected when it names
    // one of the services.
    CAdvancedKeyDialog(const QString& keywords, bool thumbnails, bool big,
                       QWidget* parent = nullptr, const QString& engine = QString());
    std::string Keywords() const;
    bool Thumbnails() const;
    bool Big() const;
    // The chosen service as the engine box would hold it.
    std::string Engine() const;

private:
    QLineEdit* keywords_;
    QComboBox* engine_;
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
    QCheckBox* png_;
    QCheckBox* webp_;
    QSpinBox* min_;
    QSpinBox* max_;
    QSpinBox* minWidth_;
    QSpinBox* minHeight_;
    QLineEdit* filter_;
    // Says so, and holds Start back, while the smallest size is above the
    // largest: no picture could be kept.
    QLabel* sizeProblem_;
};

}  // namespace pq
