#include "pmba/SendEstimateView.h"

#include "config/ConfigStore.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace tolvan::SendEstimateView {

QLabel* MakeLabel(QWidget* parent, const QString& objectName)
{
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Dark on light whatever the screen's own colours are.
    label->setStyleSheet(QStringLiteral("QLabel { color: #000000; background-color: #fffff0; "
                                        "border: 1px solid #808080; padding: 3px; }"));
    label->setVisible(false);
    return label;
}

void Show(QLabel* label, const ConfigStore& store, const QString& path, const SendEstimate::Texts& texts)
{
    if (path.trimmed().isEmpty()) {
        label->clear();
        label->setVisible(false);
        return;
    }
    const SendEstimate::Estimate e = SendEstimate::EstimateFile(path, texts);
    label->setText(SendEstimate::DescribeLines(e, SendEstimate::ReadBaud(store)).join(u'\n'));
    label->setVisible(true);
}

QComboBox* MakeLinkSpeedBox(QWidget* parent, ConfigStore& store, const QString& objectName)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    for (int baud : SendEstimate::kCommonBauds) {
        box->addItem(QString::number(baud));
    }
    box->setCurrentText(QString::number(SendEstimate::ReadBaud(store)));
    box->setToolTip(QStringLiteral("Link speed of the station's packet link in baud; used for the air time of files"));
    const auto save = [box, &store] {
        const int baud = SendEstimate::ParseBaud(box->currentText());
        if (baud <= 0 || !SendEstimate::WriteBaud(store, baud).ok()) {
            box->setCurrentText(QString::number(SendEstimate::ReadBaud(store)));
            return;
        }
        box->setCurrentText(QString::number(baud));
    };
    QObject::connect(box, &QComboBox::activated, box, save);
    QObject::connect(box->lineEdit(), &QLineEdit::editingFinished, box, save);
    return box;
}

} // namespace tolvan::SendEstimateView
