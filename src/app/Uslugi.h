#pragma once
// Everything the main window uses of the world outside it, handed in once
// when it is made: the real things in the program (main.cpp), stand-ins in
// tests. What is left empty is the real thing.

#include "audio/Glosnosc.h"
#include "audio/WykrywanieTytulu.h"
#include "card/CardFiles.h"
#include "card/KsiazkaNaKarcie.h"
#include "card/Volumes.h"
#include "card/Wysuwanie.h"
#include "merge/PomiarMp3.h"

#include <QString>
#include <functional>

class Seams;
class SettingsStore;
class ZrodloWolnegoMiejsca;

struct Uslugi {
    Uslugi(Seams& seams, SettingsStore& store, QString programDir)
        : seams(seams), store(store), programDir(std::move(programDir)) {}

    Seams& seams;         // dialogs, message boxes, the alert, the browser
    SettingsStore& store; // where the settings are kept
    QString programDir;   // the running program's folder (help page, clips)
    // The volumes the drive lists of the settings dialogs offer.
    std::function<ListaWoluminow()> woluminy = listaWoluminow;
    // The card's free-space figures and mount check; empty: the system's.
    const ZrodloWolnegoMiejsca* wolneMiejsce = nullptr;
    // How a book is copied to the card, on the copy's worker thread.
    KopiowanieNaKarte kopiowanieNaKarte = kopiujKsiazkeNaKarte;
    // How the card is ejected (UDisks2), on a worker thread.
    std::function<WynikWysuniecia(const QString& korzen)> wysuwanieKarty = wysunKarte;
    // How the merge measures the entries' files; empty: miernikMp3().
    MiernikMp3 miernikScalania;
    // How bookmark detection finds a file's title; empty: wykryjTytul.
    WykrywanieTytulow wykrywanieTytulow;
    // How the entries' loudness is measured, on worker threads; empty:
    // zmierzGlosnosc.
    MiernikGlosnosci miernikGlosnosci;
    // Where "Wstaw odcinki" keeps the originals; empty: folderOryginalow().
    QString folderOryginalow;
};
