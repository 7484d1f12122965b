// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/toolkit/PictureBoxAccessible.h"

#include "platform/toolkit/PictureBox.h"

#include <QAccessibleWidget>

namespace pikota::toolkit {

namespace {

class PictureBoxAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit PictureBoxAccessible(PictureBox* box) : QAccessibleWidget(box, QAccessible::Graphic) {}

    QAccessible::Role role() const override {
        return box()->accessibleValue() ? QAccessible::Slider : QAccessible::Graphic;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface && box()->accessibleValue())
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text which) const override {
        if (which == QAccessible::Value && box()->accessibleValue())
            return QStringLiteral("%1 秒").arg(box()->accessibleValue()->value, 0, 'f', 3);
        return QAccessibleWidget::text(which);
    }

    QVariant currentValue() const override { return value().value; }
    void setCurrentValue(const QVariant&) override {} // the keys move it, as the mouse does
    QVariant maximumValue() const override { return value().maximum; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    PictureBox* box() const { return static_cast<PictureBox*>(widget()); }
    PictureBox::AccessibleValue value() const {
        return box()->accessibleValue().value_or(PictureBox::AccessibleValue{});
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("pikota::toolkit::PictureBox") && object && object->isWidgetType())
        return new PictureBoxAccessible(static_cast<PictureBox*>(object));
    return nullptr;
}

} // namespace

void InstallPictureBoxAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&Factory);
        return true;
    }();
    (void)installed;
}

} // namespace pikota::toolkit
