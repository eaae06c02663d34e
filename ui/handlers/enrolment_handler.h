// The certificate request page (TabSheet12) of the current key: fills its choices from the key (the
// kinds of key pair it makes, its containers' places), and makes a request saved to a file or a self-signed
// certificate stored beside its pair. Generation and signing run through the key operation runner, with the
// page showing that the key is at work.
#pragma once

#include "token/flows/key_enrolment.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

namespace ui {

class EnrolmentPage;
class KeyOperationRunner;

class EnrolmentHandler : public QObject {
    Q_OBJECT
public:
    // Connects the page's buttons and its place and kind choices.
    EnrolmentHandler(EnrolmentPage& page, KeyOperationRunner& runner, QObject* parent);

    // Reads what the logged-in `key` offers and shows it.
    void showForKey(int32_t key);
    // btnEnrolRequest: asks where to save the request, then makes it (and the pair, when the place is free).
    void makeRequest();
    // btnEnrolSelfSigned: makes the pair when needed and a self-signed certificate stored beside it.
    void makeSelfSigned();

signals:
    // The containers of `key` changed: its certificate tree wants rebuilding.
    void certificatesChanged(int32_t key);

private:
    void showChoices(const token::flows::EnrolmentChoices& choices);
    // The algorithm choices for the place chosen: the kinds the key makes for a free place, "the key pair
    // there" for a pair without certificate.
    void updateAlgorithms();
    token::flows::PlaceUse chosenPlaceUse() const;
    // The job the page describes; nothing, after saying why, when a field is missing or wrong.
    std::optional<token::flows::EnrolmentJob> jobFromPage(bool selfSigned);
    void start(const token::flows::EnrolmentJob& job, const QString& path);
    void finish(int32_t key, const token::flows::EnrolmentOutcome& outcome, const QString& path);
    // Writes the request to `path`: DER for a ".der" file, PEM otherwise.
    void saveRequest(const token::flows::EnrolmentOutcome& outcome, const QString& path);

    EnrolmentPage& page_;
    KeyOperationRunner& runner_;
    int32_t key_ = -1;
    token::flows::EnrolmentChoices choices_;
};

} // namespace ui
