#pragma once
// The DAISY 2.02 talking book: a folder with ncc.html, one SMIL file per
// chapter and each chapter's audio under a short ASCII name
// (eksport/DokumentyDaisy.h).

#include "eksport/PostacKsiazki.h"

#include <QString>

class KsiazkaDaisy : public PostacKsiazki {
public:
    // `folder`: the empty folder the book is written into (the export puts
    // it in place); `nazwa`: the book's folder as the user named it, for
    // messages; `data`: dc:date, yyyy-mm-dd, today when empty.
    KsiazkaDaisy(QString folder, QString nazwa, QString data);
    void zapisz(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                const DzwiekRozdzialu& dzwiek) override;

private:
    QString m_folder, m_nazwa, m_data;
};
