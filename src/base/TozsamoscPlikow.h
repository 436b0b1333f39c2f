#pragma once
// Which file a name leads to, whatever the name. Writers compare what they
// are about to replace or remove with what they read and must keep (the
// project, the entries' files, the store of merged books) by this, never
// by the names' text: a hard link, a symbolic link, a bind mount of a
// folder and, on a file system that ignores case (FAT, exFAT, NTFS, a
// network share), a name in other case all lead to the same file. Every
// writer calls this one check.
//
//   const TozsamoscPlikow cele({folderKsiazki, plikMp3});
//   if (const auto k = cele.kolizja({projekt, wpisy, magazyn})) ... refuse
//
// Folders count with everything beneath them: a target folder that holds
// an entry's file, or is the store or holds it, collides with it.

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The device and inode number of the file `sciezka` leads to (links
// followed); none when there is no such file.
struct TozsamoscPliku {
    quint64 urzadzenie = 0;
    quint64 wezel = 0;
    bool operator==(const TozsamoscPliku&) const = default;
};
std::optional<TozsamoscPliku> tozsamoscPliku(const QString& sciezka);

// What a writer reads or keeps and so may never replace or remove.
struct ChronionePliki {
    QString projekt; // empty: none
    QStringList wpisy;
    QString magazyn; // the store folder; empty: none
};

// A target that would replace or remove something kept.
struct Kolizja {
    enum Rodzaj { Projekt, Wpis, Magazyn };
    qsizetype cel = -1; // the target's index
    Rodzaj rodzaj = Projekt;
    qsizetype wpis = -1; // the entry's index, for Wpis
    QString sciezka;     // the name of what is kept, as given
};

class TozsamoscPlikow {
public:
    // The files and folders to recognise, looked at once, now. An empty or
    // missing name is recognised as nothing, and keeps its index.
    explicit TozsamoscPlikow(const QStringList& sciezki);
    ~TozsamoscPlikow();
    TozsamoscPlikow(const TozsamoscPlikow&) = delete;
    TozsamoscPlikow& operator=(const TozsamoscPlikow&) = delete;

    // The index of the listed file that `sciezka` leads to, or of the listed
    // folder it is or lies in; none for a name that leads to nothing.
    std::optional<qsizetype> ktory(const QString& sciezka) const;

    // The first of `chronione` that a listed name leads to or holds: the
    // project first, then the entries in order, then the store.
    std::optional<Kolizja> kolizja(const ChronionePliki& chronione) const;

    // The index of the first listed name that is itself a symbolic link.
    std::optional<qsizetype> dowiazanie() const;

private:
    struct Dane;
    std::unique_ptr<Dane> d;
};

// The refusal of a writer asked to write through a symbolic link it did
// not make, naming the link and where it leads.
QString odmowaDowiazania(const QString& sciezka);
