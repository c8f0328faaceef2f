#include "browse/CCopyMoveDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace pq {

void CCopyMoveDialog::PutFirst(std::vector<std::string>& list, const std::string& folder) {
    list.erase(std::remove(list.begin(), list.end(), folder), list.end());
    list.insert(list.begin(), folder);
}

CCopyMoveDialog::CCopyMoveDialog(bool copy, const QString& sourceFolder,
                                 std::vector<std::string>& destinations, QWidget* parent)
    : QDialog(parent), destinations_(destinations) {
    setObjectName(copy ? "copyFilesDialog" : "moveFilesDialog");
    setWindowTitle(copy ? tr("Copy Files") : tr("Move Files"));

    auto* sourceBox = new QGroupBox(tr("Source Folder"), this);
    auto* source = new QLineEdit(sourceFolder, sourceBox);
    source->setObjectName("sourceFolderEdit");
    source->setAccessibleName(tr("Source folder"));
    source->setReadOnly(true);
    (new QVBoxLayout(sourceBox))->addWidget(source);

    auto* destBox = new QGroupBox(tr("Destination Folder"), this);
    destination_ = new QLineEdit(destBox);
    destination_->setObjectName("destinationEdit");
    destination_->setAccessibleName(tr("Destination folder"));
    list_ = new QListWidget(destBox);
    list_->setObjectName("destinationList");
    list_->setAccessibleName(tr("Recent destination folders"));
    connect(list_, &QListWidget::currentTextChanged, destination_, &QLineEdit::setText);
    connect(list_, &QListWidget::itemDoubleClicked, this, &CCopyMoveDialog::accept);
    auto* remove = new QPushButton(tr("Delete"), destBox);
    remove->setObjectName("deleteButton");
    auto* removeAll = new QPushButton(tr("Delete All"), destBox);
    removeAll->setObjectName("deleteAllButton");
    auto* browse = new QPushButton(tr("Browse..."), destBox);
    browse->setObjectName("browserButton");
    for (QPushButton* b : {remove, removeAll, browse}) b->setAutoDefault(false);
    connect(remove, &QPushButton::clicked, this, [this] {
        QListWidgetItem* item = list_->currentItem();
        if (!item) return;
        const std::string text = item->text().toStdString();
        auto it = std::find(destinations_.begin(), destinations_.end(), text);
        if (it != destinations_.end()) destinations_.erase(it);
        Refill();
    });
    connect(removeAll, &QPushButton::clicked, this, [this] {
        destinations_.clear();
        Refill();
        destination_->clear();
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString folder =
            QFileDialog::getExistingDirectory(this, tr("Select Path"), destination_->text());
        if (!folder.isEmpty()) destination_->setText(folder);
    });
    auto* destLayout = new QVBoxLayout(destBox);
    destLayout->addWidget(destination_);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(remove);
    buttons->addWidget(removeAll);
    buttons->addWidget(browse);
    buttons->addStretch(1);
    row->addLayout(buttons);
    destLayout->addLayout(row);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->setObjectName("buttons");
    connect(box, &QDialogButtonBox::accepted, this, &CCopyMoveDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* top = new QVBoxLayout(this);
    top->addWidget(sourceBox);
    top->addWidget(destBox, 1);
    top->addWidget(box);
    resize(520, 360);
    Refill();
    if (!destinations_.empty())
        destination_->setText(QString::fromStdString(destinations_.front()));
}

void CCopyMoveDialog::Refill() {
    list_->clear();
    for (const auto& d : destinations_) list_->addItem(QString::fromStdString(d));
}

QString CCopyMoveDialog::Destination() const { return destination_->text().trimmed(); }

void CCopyMoveDialog::accept() {
    if (Destination().isEmpty()) return;
    PutFirst(destinations_, Destination().toStdString());
    QDialog::accept();
}

}  // namespace pq
