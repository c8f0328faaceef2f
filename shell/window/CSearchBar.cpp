#include "shell/window/CSearchBar.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>

#include "engine/SearchService.h"
#include "shell/FrameRules.h"

namespace pq {

namespace {

QComboBox* MakeBox(QWidget* parent, const char* name, const QString& accessible) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessible);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(16);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

CSearchBar::CSearchBar(QWidget* parent) : QWidget(parent) {
    setObjectName("searchBar");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(tr("Search bar"));
    switch_ = MakeButton(this, "switchButton", tr("Address"));
    address_ = MakeBox(this, "addressBox", tr("Address"));
    keywords_ = MakeBox(this, "keywordBox", tr("Keywords"));
    engine_ = MakeBox(this, "engineBox", tr("Search service"));
    go_ = MakeButton(this, "goButton", tr("Go"));
    advanced_ = MakeButton(this, "advancedButton", tr("Advanced Search"));

    address_->lineEdit()->setPlaceholderText(tr("Address of a site, such as http://example.com/"));
    keywords_->lineEdit()->setPlaceholderText(tr("Keywords"));
    engine_->addItem(QLatin1String(kEngineEntry));
    // Open services with documented APIs and openly licensed pictures.
    engine_->addItem(QString::fromStdString(ServiceTitle(SearchService::kOpenverse)));
    engine_->addItem(QString::fromStdString(ServiceTitle(SearchService::kCommons)));
    // The classic service's entry, chosen: the project names it makes are
    // spelled as the entry is.
    engine_->setCurrentIndex(0);
    go_->setToolTip(tr("Start the search"));
    advanced_->setToolTip(tr("Search with more choices"));

    connect(switch_, &QPushButton::clicked, this, &CSearchBar::SwitchClicked);
    connect(go_, &QPushButton::clicked, this, &CSearchBar::GoClicked);
    connect(advanced_, &QPushButton::clicked, this, &CSearchBar::AdvancedClicked);
    connect(address_->lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = true; });
    connect(keywords_->lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = true; });
    connect(engine_->lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = false; });
    // Picking a past entry counts as typing it.
    connect(address_, &QComboBox::activated, this, [this] { typed_ = true; });
    connect(keywords_, &QComboBox::activated, this, [this] { typed_ = true; });
    // Enter is taken before a box handles it. The key goes to the combo
    // box, which hands it to its line edit directly (no filter there sees
    // it); a key sent to the line edit itself would come back through the
    // combo box and count twice. Both are watched, and the first to see it
    // keeps it.
    for (QComboBox* box : {address_, keywords_, engine_}) {
        box->installEventFilter(this);
        box->lineEdit()->installEventFilter(this);
    }
    SetMode("searchweb");
}

void CSearchBar::SetMode(const std::string& searchMode) {
    keywordMode_ = searchMode == "searchkey";
    address_->setVisible(!keywordMode_);
    keywords_->setVisible(keywordMode_);
    engine_->setVisible(keywordMode_);
    switch_->setText(keywordMode_ ? tr("Keywords") : tr("Address"));
    switch_->setAccessibleName(switch_->text());
    switch_->setToolTip(keywordMode_ ? tr("Press to switch to web search")
                                     : tr("Press to switch to Keywords search"));
    Arrange();
}

void CSearchBar::SetAddressHistory(const std::vector<std::string>& list) {
    const QString text = address_->currentText();
    address_->clear();
    for (const auto& s : list) address_->addItem(QString::fromStdString(s));
    address_->setEditText(text);
}

void CSearchBar::SetKeywordHistory(const std::vector<std::string>& list) {
    const QString text = keywords_->currentText();
    keywords_->clear();
    for (const auto& s : list) keywords_->addItem(QString::fromStdString(s));
    keywords_->setEditText(text);
}

std::string CSearchBar::AddressText() const { return address_->currentText().toStdString(); }
std::string CSearchBar::KeywordText() const { return keywords_->currentText().toStdString(); }
std::string CSearchBar::EngineText() const { return engine_->currentText().toStdString(); }

void CSearchBar::SetAddressText(const std::string& text) {
    address_->setEditText(QString::fromStdString(text));
}
void CSearchBar::SetKeywordText(const std::string& text) {
    keywords_->setEditText(QString::fromStdString(text));
}

void CSearchBar::FocusAddress() {
    QComboBox* box = keywordMode_ ? keywords_ : address_;
    box->setFocus(Qt::ShortcutFocusReason);
    box->lineEdit()->selectAll();
}

bool CSearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            const bool address = watched == address_ || watched == address_->lineEdit();
            OnEnter(!address);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSearchBar::OnEnter(bool keywordBox) {
    const std::string text = keywordBox ? KeywordText() : AddressText();
    switch (frame::EnterRule(keywordBox, layoutState_, typed_, text)) {
        case frame::EnterAction::kWebSearch:
            emit WebSearchRequested();
            break;
        case frame::EnterAction::kKeywordSearch:
            emit KeywordSearchRequested();
            break;
        case frame::EnterAction::kListHistory:
            emit HistoryRequested(QString::fromStdString(text));
            break;
        case frame::EnterAction::kNothing:
            break;
    }
}

QSize CSearchBar::sizeHint() const {
    return {std::max(kMinWidth, 720), address_->sizeHint().height() + 4};
}

QSize CSearchBar::minimumSizeHint() const { return {kMinWidth, address_->sizeHint().height() + 4}; }

void CSearchBar::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Arrange();
}

void CSearchBar::Arrange() {
    // Buttons keep their widths at the right end; the boxes take the rest.
    // Never laid out narrower than the bar's minimum.
    const QFontMetrics fm(font());
    const int w = fm.averageCharWidth();
    const int width = std::max(this->width(), kMinWidth);
    const int h = std::max(address_->sizeHint().height(), go_->sizeHint().height());
    const int y = std::max(0, (height() - h) / 2);
    const int gap = 4;
    const int switchW = std::max(w * 8 + 10, switch_->sizeHint().width());
    const int goW = std::max(w * 2 + 30, go_->sizeHint().width());
    const int advW = std::max(w * 15, advanced_->sizeHint().width());
    int x = 0;
    switch_->setGeometry(x, y, switchW, h);
    x += switchW + gap;
    const int right = width - advW - goW - 2 * gap;
    advanced_->setGeometry(width - advW, y, advW, h);
    go_->setGeometry(right + gap, y, goW, h);
    const int boxes = std::max(0, right - x);
    if (keywordMode_) {
        const int engineW = std::min(kEngineWidth, boxes / 2);
        keywords_->setGeometry(x, y, boxes - engineW - gap, h);
        engine_->setGeometry(x + boxes - engineW, y, engineW, h);
    } else {
        address_->setGeometry(x, y, boxes, h);
    }
}

}  // namespace pq
