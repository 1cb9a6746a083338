#include "DesignSystem/KVStates.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVFlowLayout.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVSymbols.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace kestrivane {

namespace {

// A 36 × 36 tile on fill1 with corner radius 10, holding `content` centred.
class StateTile : public QWidget {
public:
    explicit StateTile(QWidget *content, QWidget *parent = nullptr) : QWidget(parent)
    {
        setFixedSize(36, 36);
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content, 0, Qt::AlignCenter);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 10, 10);
        painter.fillPath(shape, kvPalette(this).fill1);
    }
};

// The column of both states: tile, title, description, centred, in a 20-point padding. The
// title wraps in the width given; the description wraps at 280 at most, in centred lines.
void buildStateColumn(QWidget *state, QWidget *tile, const QString &title, const QString &description, int spacing)
{
    auto *outer = new QVBoxLayout(state);
    outer->setObjectName(QStringLiteral("stateColumn"));
    outer->setContentsMargins(20, 20, 20, 20);
    outer->setSpacing(0);
    // The stack itself, spaced; the stretches around it centre it without spacing of their own.
    auto *stack = new QVBoxLayout;
    stack->setSpacing(spacing);
    stack->addWidget(tile, 0, Qt::AlignHCenter);
    auto *titleLabel = new KVLabel(title, KVFont::system(13, KVFont::Weight::medium), KVColorRef(&KVPalette::text1), state);
    titleLabel->setMaxLines(0);
    titleLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    stack->addWidget(titleLabel);
    auto *descriptionLabel = new KVLabel(description, KVFont::system(12), KVColorRef(&KVPalette::text3), state);
    descriptionLabel->setMaxLines(0);
    descriptionLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    descriptionLabel->setMaximumWidth(280);
    descriptionLabel->setVisible(!description.isEmpty());
    stack->addWidget(descriptionLabel, 0, Qt::AlignHCenter);
    outer->addStretch(1);
    outer->addLayout(stack);
    outer->addStretch(1);
    state->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

// A height below the content's with its 20-point padding takes the vertical padding first, so the
// texts are not cut.
void fitPadding(QWidget *state)
{
    auto *column = state->findChild<QVBoxLayout *>(QStringLiteral("stateColumn"));
    if (!column)
        return;
    column->setContentsMargins(20, 20, 20, 20);
    const int width = state->width();
    const int needed = column->hasHeightForWidth() ? column->heightForWidth(width) : column->sizeHint().height();
    const int content = needed - 40;
    const int vertical = std::clamp((state->height() - content) / 2, 0, 20);
    column->setContentsMargins(20, vertical, 20, vertical);
}

} // namespace

KVSpinner::KVSpinner(KVColorRef tint, QWidget *parent) : QWidget(parent), tint_(std::move(tint)), timer_(new QTimer(this))
{
    KVAccessibility::install();
    setFixedSize(16, 16);
    timer_->setInterval(1000 / 8);
    connect(timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

bool KVSpinner::isAnimating() const
{
    return timer_->isActive();
}

void KVSpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor tint = tint_.resolve(this);
    const int step = static_cast<int>((QTime::currentTime().msecsSinceStartOfDay() % 1000) / 125);
    painter.translate(QRectF(rect()).center());
    for (int spoke = 0; spoke < 8; ++spoke) {
        // The spoke at the current step is the darkest; the others fade behind it.
        const int age = (step - spoke + 8) % 8;
        painter.save();
        painter.rotate(spoke * 45.0);
        painter.setPen(QPen(withOpacity(tint, 1.0 - age * 0.1), 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -3.5), QPointF(0, -7));
        painter.restore();
    }
}

void KVSpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    shown_ = true;
    updateAnimation();
}

void KVSpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    shown_ = false;
    updateAnimation();
}

void KVSpinner::updateAnimation()
{
    // Spontaneous hide events (a minimised window) stop it too.
    if (shown_ && isVisible())
        timer_->start();
    else
        timer_->stop();
}

KVEmptyState::KVEmptyState(const QString &title, const QString &description, const QString &systemImage, QWidget *parent)
    : QWidget(parent)
{
    auto *symbol = new KVSymbol(systemImage, 18, KVColorRef(&KVPalette::text3), KVFont::Weight::medium);
    buildStateColumn(this, new StateTile(symbol, this), title, description, 8);
}

KVLoadingState::KVLoadingState(const QString &title, const QString &description, QWidget *parent) : QWidget(parent)
{
    auto *spinner = new KVSpinner(KVColorRef::accent());
    spinner->setAccessibleName(title);
    buildStateColumn(this, new StateTile(spinner, this), title, description, 10);
}

void KVEmptyState::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitPadding(this);
}

void KVLoadingState::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitPadding(this);
}

KVIssueBanner::KVIssueBanner(const QString &title, const QString &description, Action primary, Action secondary,
                             Action tertiary, QWidget *parent)
    : QWidget(parent), title_(title)
{
    KVAccessibility::install();
    setAccessibleDescription(description);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(10);

    auto *tile = new KVSymbol(QStringLiteral("exclamationmark.triangle.fill"), 13, KVColorRef(&KVPalette::danger),
                              KVFont::Weight::semibold, this);
    tile->setBoxSize(QSize(24, 24));
    tile->setAutoFillBackground(false);
    tile->setObjectName(QStringLiteral("issueTile"));
    row->addWidget(tile, 0, Qt::AlignTop);

    auto *column = new QVBoxLayout;
    column->setSpacing(3);
    auto *titleLabel = new KVLabel(title, KVFont::system(12, KVFont::Weight::semibold), KVColorRef(&KVPalette::text1), this);
    titleLabel->setMaxLines(0);
    column->addWidget(titleLabel);
    auto *descriptionLabel = new KVLabel(description, KVFont::system(11), KVColorRef(&KVPalette::text3), this);
    descriptionLabel->setMaxLines(0);
    column->addWidget(descriptionLabel);
    // The buttons go on to a new line where they no longer fit beside each other.
    auto *actions = new KVFlowLayout(10, 4);
    actions->setContentsMargins(0, 2, 0, 0);
    for (Action *action : {&primary, &secondary, &tertiary}) {
        if (!action->isComplete())
            continue;
        auto *button = new KVButton(*action->title, KVButton::Style::plain, std::move(action->action), this);
        button->setLabelFont(KVFont::system(11, KVFont::Weight::semibold));
        actions->addWidget(button);
    }
    column->addLayout(actions);
    row->addLayout(column, 1);
    // As high as its wrapped texts and buttons need at its width: a policy that caps the height at
    // the size hint would cut them where the banner is narrower than the hint assumes.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void KVIssueBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const KVPalette &colors = kvPalette(this);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 10, 10);
    painter.fillPath(shape, colors.dangerSoft);
    painter.setPen(QPen(withOpacity(colors.danger, 0.18), 0.5));
    painter.drawPath(shape);
    // The warning tile behind its symbol.
    if (auto *tile = findChild<QWidget *>(QStringLiteral("issueTile"))) {
        QPainterPath tileShape;
        tileShape.addRoundedRect(QRectF(tile->geometry()), 6, 6);
        painter.fillPath(tileShape, colors.dangerSoft);
    }
}

} // namespace kestrivane
