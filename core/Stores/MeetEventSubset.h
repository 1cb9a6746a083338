#pragma once

#include "Models/CalendarModels.h"

#include <QList>
#include <QStringList>

#include <iterator>
#include <memory>
#include <optional>

namespace kestrivane {

// Meetings picked out of a shared list by their places, in the order given. Picking copies no
// event and copying a subset copies no event: with thousands of meetings every copy of an event
// touches each of its texts, so the store derives its lists as subsets and makes a list of the
// events only when somebody reads one.
class MeetEventSubset {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CalendarEvent;
        using difference_type = qsizetype;
        using pointer = const CalendarEvent *;
        using reference = const CalendarEvent &;

        const_iterator() = default;
        reference operator*() const { return subset_->at(index_); }
        pointer operator->() const { return &subset_->at(index_); }
        const_iterator &operator++()
        {
            ++index_;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator previous = *this;
            ++index_;
            return previous;
        }
        friend bool operator==(const const_iterator &a, const const_iterator &b) { return a.index_ == b.index_; }

    private:
        friend class MeetEventSubset;
        const_iterator(const MeetEventSubset *subset, qsizetype index) : subset_(subset), index_(index) {}
        const MeetEventSubset *subset_ = nullptr;
        qsizetype index_ = 0;
    };

    MeetEventSubset() = default;
    // Copies are cheap (shared lists) and moves copy: a moved-from subset keeps its cache.
    MeetEventSubset(const MeetEventSubset &) = default;
    MeetEventSubset &operator=(const MeetEventSubset &) = default;
    // All of `events` (implicit: a plain list is the subset of all its events).
    MeetEventSubset(QList<CalendarEvent> events);
    // The events of `source` at `places` (each a valid index), in that order.
    MeetEventSubset(QList<CalendarEvent> source, QList<qsizetype> places);

    qsizetype size() const { return whole_ ? source_.size() : places_.size(); }
    bool isEmpty() const { return size() == 0; }
    const CalendarEvent &at(qsizetype index) const { return source_.at(placeAt(index)); }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    // The events at `positions` of this subset (each valid), in that order, picked from the same
    // source.
    MeetEventSubset picked(const QList<qsizetype> &positions) const;

    // The notification identifier of the event at `index` for `leadTime`: the one made by
    // prepareNotificationIdentifiers() when it was made for that lead time, else made afresh.
    QString notificationIdentifier(qsizetype index, double leadTime) const;
    // qHash() of that identifier, kept with it: comparing hashes first reads no identifier.
    size_t notificationIdentifierHash(qsizetype index, double leadTime) const;
    // Makes the identifiers of this subset's events for `leadTime` once, in the source's order
    // (the order its texts lie in memory), for every subset picked from the same source.
    void prepareNotificationIdentifiers(double leadTime) const;

    // The picked events as a list, made on the first call and kept; shared with the source when
    // every event is picked.
    const QList<CalendarEvent> &list() const;

private:
    qsizetype placeAt(qsizetype index) const { return whole_ ? index : places_.at(index); }

    // Shared by the subsets picked from one source; a cache, so changed through const subsets.
    struct Identifiers {
        double leadTime = 0;
        QStringList byPlace;
        QList<size_t> hashByPlace;
    };

    QList<CalendarEvent> source_;
    std::shared_ptr<Identifiers> identifiers_ = std::make_shared<Identifiers>();
    QList<qsizetype> places_;
    bool whole_ = true;
    mutable std::optional<QList<CalendarEvent>> list_;
};

} // namespace kestrivane
