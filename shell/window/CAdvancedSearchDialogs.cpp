#include "shell/window/CAdvancedSearchDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/SearchService.h"
#include "shell/CPelquinarApp.h"
#include "shell/window/Controls.h"

namespace pq {

namespace {

QDialogButtonBox* StartCancel(QDialog* d) {
    auto* box = new QDialogButtonBox(d);
    box->setObjectName("buttons");
    QPushButton* start = box->addButton(QObject::tr("Start"), QDialogButtonBox::AcceptRole);
    start->setObjectName("startButton");
    start->setDefault(true);
    QPushButton* cancel = box->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("cancelButton");
    QObject::connect(box, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return box;
}

using controls::Check;
using controls::Spin;

}  // namespace

CAdvancedKeyDialog::CAdvancedKeyDialog(const QString& keywords, bool thumbnails, bool big,
                                       QWidget* parent, const QString& engine)
    : QDialog(parent) {
    setObjectName("advancedKeyDialog");
    setWindowTitle(tr("Advanced Search"));
    auto* form = new QFormLayout;
    keywords_ = new QLineEdit(keywords, this);
    keywords_->setObjectName("keywordsEdit");
    keywords_->setAccessibleName(tr("Keywords"));
    keywords_->setMinimumWidth(320);
    form->addRow(tr("&Keywords:"), keywords_);
    engine_ = new QComboBox(this);
    engine_->setObjectName("serviceBox");
    engine_->setAccessibleName(tr("Search service"));
    const SearchService chosen = ServiceFromName(engine.toStdString());
    for (SearchService s :
         {SearchService::kHtml, SearchService::kOpenverse, SearchService::kCommons}) {
        engine_->addItem(QString::fromStdString(ServiceTitle(s)), int(s));
        if (s == chosen) engine_->setCurrentIndex(engine_->count() - 1);
    }
    engine_->setToolTip(
        tr("Openverse and Wikimedia Commons give openly licensed pictures "
           "with their credits"));
    form->addRow(tr("&Service:"), engine_);

    auto* style = new QGroupBox(tr("Image style"), this);
    style->setObjectName("imageStyleGroup");
    auto* row = new QHBoxLayout(style);
    thumbnails_ = Check(style, "thumbnailsCheck", tr("&Thumbnails"), thumbnails);
    big_ = Check(style, "bigPictureCheck", tr("&Big picture"), big);
    row->addWidget(thumbnails_);
    row->addWidget(big_);
    row->addStretch(1);

    // What Start keeps beyond this search.
    auto* note = new QLabel(tr("Start keeps the image style for later advanced searches; "
                               "nothing else of the settings changes."),
                            this);
    note->setObjectName("settingsNote");
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);

    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(style);
    top->addWidget(note);
    top->addWidget(StartCancel(this));
}

std::string CAdvancedKeyDialog::Keywords() const { return keywords_->text().toStdString(); }
bool CAdvancedKeyDialog::Thumbnails() const { return thumbnails_->isChecked(); }
bool CAdvancedKeyDialog::Big() const { return big_->isChecked(); }
std::string CAdvancedKeyDialog::Engine() const {
    // As the search bar's engine box spells it, which names the projects.
    return ServiceTitle(SearchService(engine_->currentData().toInt()));
}

CAdvancedWebDialog::CAdvancedWebDialog(const AdvancedWebOptions& o, QWidget* parent)
    : QDialog(parent) {
    setObjectName("advancedWebDialog");
    setWindowTitle(tr("Advanced Search"));
    name_ = new QLineEdit(QString::fromStdString(o.projectName), this);
    name_->setObjectName("projectNameEdit");
    name_->setAccessibleName(tr("Project name"));
    name_->setMinimumWidth(320);
    depth_ = Spin(this, "depthSpin", tr("Search depth"), 0, CPelquinarApp::kMaxDepth, o.depth);
    depth_->setToolTip(tr("0 fetches the page alone, 1 also the pages it links to"));

    auto* types = new QGroupBox(tr("Pictures Filter"), this);
    types->setObjectName("picturesFilterGroup");
    auto* typeRow = new QHBoxLayout(types);
    jpg_ = Check(types, "jpgCheck", tr("&Jpg"), o.jpg);
    gif_ = Check(types, "gifCheck", tr("&Gif"), o.gif);
    bmp_ = Check(types, "bmpCheck", tr("&Bmp"), o.bmp);
    png_ = Check(types, "pngCheck", tr("P&ng"), o.png);
    webp_ = Check(types, "webpCheck", tr("&WebP"), o.webp);
    for (QCheckBox* c : {jpg_, gif_, bmp_, png_, webp_}) typeRow->addWidget(c);
    typeRow->addStretch(1);

    auto* size = new QGroupBox(tr("Size"), this);
    size->setObjectName("sizeGroup");
    auto* sizeRow = new QHBoxLayout(size);
    min_ = Spin(size, "minSpin", tr("Smallest size in KB"), 0, 1000000, o.minKb);
    max_ = Spin(size, "maxSpin", tr("Largest size in KB"), 0, 1000000, o.maxKb);
    min_->setSuffix(tr(" KB"));
    max_->setSuffix(tr(" KB"));
    sizeRow->addWidget(new QLabel(tr("Min"), size));
    sizeRow->addWidget(min_, 1);
    sizeRow->addSpacing(12);
    sizeRow->addWidget(new QLabel(tr("Max"), size));
    sizeRow->addWidget(max_, 1);

    // What a wallpaper needs is its size on screen, which a size in KB does
    // not tell: each picture's header says it once the picture has arrived.
    auto* screen = new QGroupBox(tr("Size on screen"), this);
    screen->setObjectName("screenSizeGroup");
    auto* screenRow = new QHBoxLayout(screen);
    minWidth_ = Spin(screen, "minWidthSpin", tr("Smallest width in pixels"), 0,
                     CPelquinarApp::kMaxPixels, o.minWidth);
    minHeight_ = Spin(screen, "minHeightSpin", tr("Smallest height in pixels"), 0,
                      CPelquinarApp::kMaxPixels, o.minHeight);
    for (QSpinBox* s : {minWidth_, minHeight_}) {
        s->setSuffix(tr(" px"));
        // 0 is no bound.
        s->setSpecialValueText(tr("Any"));
        s->setToolTip(
            tr("Pictures smaller than this, or whose size cannot be read, are not "
               "kept; Any keeps every size"));
    }
    auto* widthLabel = new QLabel(tr("Min w&idth"), screen);
    widthLabel->setBuddy(minWidth_);
    auto* heightLabel = new QLabel(tr("Min &height"), screen);
    heightLabel->setBuddy(minHeight_);
    screenRow->addWidget(widthLabel);
    screenRow->addWidget(minWidth_, 1);
    screenRow->addSpacing(12);
    screenRow->addWidget(heightLabel);
    screenRow->addWidget(minHeight_, 1);

    filter_ = new QLineEdit(QString::fromStdString(o.filterKeywords), this);
    filter_->setObjectName("filterKeywordsEdit");
    filter_->setAccessibleName(tr("Filter keywords"));
    filter_->setToolTip(tr("Keep only pictures whose names hold this text"));

    auto* form = new QFormLayout;
    form->addRow(tr("&Project Name:"), name_);
    form->addRow(tr("Search &depth:"), depth_);
    auto* bottom = new QFormLayout;
    bottom->addRow(tr("&Filter Keywords:"), filter_);

    // The depth is the one setting this dialog shares with Options: say so
    // before Start changes it.
    auto* note = new QLabel(tr("Start keeps the depth, picture types and sizes as the settings "
                               "of later searches: the depth becomes Max Levels of Options, "
                               "Connection (now %1).")
                                .arg(o.depth),
                            this);
    note->setObjectName("settingsNote");
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);

    sizeProblem_ =
        new QLabel(tr("The smallest size is above the largest: no picture would be kept."), size);
    sizeProblem_->setObjectName("sizeProblem");
    sizeProblem_->setWordWrap(true);
    QPalette warn = sizeProblem_->palette();
    warn.setColor(QPalette::WindowText, QColor(0xb0, 0x20, 0x20));
    sizeProblem_->setPalette(warn);
    auto* sizeBox = new QVBoxLayout;
    sizeBox->addWidget(size);
    sizeBox->addWidget(sizeProblem_);
    sizeBox->addWidget(screen);

    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(types);
    top->addLayout(sizeBox);
    top->addLayout(bottom);
    top->addWidget(note);
    QDialogButtonBox* buttons = StartCancel(this);
    top->addWidget(buttons);
    QPushButton* start = buttons->findChild<QPushButton*>("startButton");
    auto check = [this, start] {
        const bool bad = min_->value() > max_->value();
        sizeProblem_->setVisible(bad);
        start->setEnabled(!bad);
    };
    connect(min_, &QSpinBox::valueChanged, this, check);
    connect(max_, &QSpinBox::valueChanged, this, check);
    check();
}

AdvancedWebOptions CAdvancedWebDialog::Options() const {
    AdvancedWebOptions o;
    o.projectName = name_->text().toStdString();
    o.depth = depth_->value();
    o.jpg = jpg_->isChecked();
    o.gif = gif_->isChecked();
    o.bmp = bmp_->isChecked();
    o.png = png_->isChecked();
    o.webp = webp_->isChecked();
    o.minKb = min_->value();
    o.maxKb = max_->value();
    o.minWidth = minWidth_->value();
    o.minHeight = minHeight_->value();
    o.filterKeywords = filter_->text().toStdString();
    return o;
}

}  // namespace pq
