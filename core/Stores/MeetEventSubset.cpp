#include "Stores/MeetEventSubset.h"

#include <algorithm>

namespace kestrivane {

MeetEventSubset::MeetEventSubset(QList<CalendarEvent> events) : source_(std::move(events)) {}

MeetEventSubset::MeetEventSubset(QList<CalendarEvent> source, QList<qsizetype> places)
    : source_(std::move(source)), places_(std::move(places)), whole_(false)
{
    // Every event in its place: the source itself.
    if (places_.size() == source_.size()) {
        bool identity = true;
        for (qsizetype i = 0; identity && i < places_.size(); ++i)
            identity = places_.at(i) == i;
        if (identity) {
            places_.clear();
            whole_ = true;
        }
    }
}

MeetEventSubset MeetEventSubset::picked(const QList<qsizetype> &positions) const
{
    QList<qsizetype> places;
    places.reserve(positions.size());
    for (const qsizetype position : positions)
        places.append(placeAt(position));
    MeetEventSubset subset(source_, std::move(places));
    subset.identifiers_ = identifiers_;
    return subset;
}

QString MeetEventSubset::notificationIdentifier(qsizetype index, double leadTime) const
{
    const qsizetype place = placeAt(index);
    if (identifiers_->leadTime == leadTime && place < identifiers_->byPlace.size()) {
        const QString &identifier = identifiers_->byPlace.at(place);
        if (!identifier.isNull())
            return identifier;
    }
    return source_.at(place).notificationIdentifier(leadTime);
}

size_t MeetEventSubset::notificationIdentifierHash(qsizetype index, double leadTime) const
{
    const qsizetype place = placeAt(index);
    if (identifiers_->leadTime == leadTime && place < identifiers_->byPlace.size()
        && !identifiers_->byPlace.at(place).isNull())
        return identifiers_->hashByPlace.at(place);
    return qHash(source_.at(place).notificationIdentifier(leadTime));
}

void MeetEventSubset::prepareNotificationIdentifiers(double leadTime) const
{
    Identifiers &identifiers = *identifiers_;
    if (identifiers.leadTime != leadTime || identifiers.byPlace.size() != source_.size()) {
        identifiers.leadTime = leadTime;
        identifiers.byPlace = QStringList(source_.size());
        identifiers.hashByPlace = QList<size_t>(source_.size());
    }
    QList<qsizetype> places;
    if (!whole_) {
        places = places_;
        std::sort(places.begin(), places.end());
    }
    for (qsizetype i = 0; i < size(); ++i) {
        const qsizetype place = whole_ ? i : places.at(i);
        QString &identifier = identifiers.byPlace[place];
        if (identifier.isNull()) {
            identifier = source_.at(place).notificationIdentifier(leadTime);
            identifiers.hashByPlace[place] = qHash(identifier);
        }
    }
}

const QList<CalendarEvent> &MeetEventSubset::list() const
{
    if (whole_)
        return source_;
    if (!list_) {
        QList<CalendarEvent> events;
        events.reserve(places_.size());
        for (const qsizetype place : places_)
            events.append(source_.at(place));
        list_ = std::move(events);
    }
    return *list_;
}

} // namespace kestrivane
