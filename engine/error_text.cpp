#include "engine/error_text.h"

#include <cerrno>

namespace versalo {

std::string ErrorText(std::error_code error) {
    // Every error a rename, an open, a listing or a read can give on a local disk, a network
    // share or a FUSE file system gets German words of its own; anything else is named by its
    // number only, so that no English text of the C library slips into a German message.
    switch (error.value()) {
        case EACCES:
        case EPERM:
            return "Zugriff verweigert";
        case ENOENT:
            return "nicht (mehr) vorhanden";
        case ENAMETOOLONG:
            return "der neue Name ist zu lang";
        case EROFS:
            return "das Dateisystem ist schreibgeschützt";
        case EBUSY:
            return "wird gerade benutzt";
        case ETXTBSY:
            return "die Datei wird gerade ausgeführt";
        case ENOSPC:
        case EDQUOT:
            return "kein Platz mehr auf dem Datenträger";
        case EMFILE:
        case ENFILE:
            return "zu viele offene Ordner (zu tief verschachtelt)";
        case ENOTDIR:
            return "ist kein Ordner (mehr)";
        case EISDIR:
            return "ist ein Ordner";
        case ENOTEMPTY:
            return "der Ordner ist nicht leer";
        case ELOOP:
            return "zu viele symbolische Verknüpfungen";
        case EIO:
            return "Ein-/Ausgabefehler";
        case EEXIST:
            return "der Name ist bereits vergeben";
        case EXDEV:
            return "liegt auf einem anderen Dateisystem";
        case EMLINK:
            return "der Ordner enthält zu viele Einträge";
        case EINVAL:
            return "der Name ist auf diesem Dateisystem nicht erlaubt";
        case EILSEQ:
            return "der Name enthält Zeichen, die dieses Dateisystem nicht kennt";
        case EOPNOTSUPP:
        case ENOSYS:
            return "vom Dateisystem nicht unterstützt";
        case ENOMEM:
            return "zu wenig Arbeitsspeicher";
        case EFAULT:
        case EBADF:
            return "interner Fehler (ungültige Adresse oder Beschreibung)";
        case EINTR:
            return "durch ein Signal unterbrochen";
        case EAGAIN:
            return "vorübergehend nicht möglich, bitte erneut versuchen";
        case EOVERFLOW:
            return "zu groß für dieses Programm";
        case EFBIG:
            return "die Datei ist zu groß";
        case ENXIO:
        case ENODEV:
            return "das Gerät ist nicht (mehr) vorhanden";
        case ENOTCONN:
            return "die Verbindung zum Dateisystem ist getrennt";
        case ESTALE:
            return "veralteter Verweis auf einen Netzwerkordner";
        case ETIMEDOUT:
            return "Zeitüberschreitung";
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ENETDOWN:
        case ENETUNREACH:
        case ECONNABORTED:
        case ECONNRESET:
        case ECONNREFUSED:
        case ENOLINK:
        case ECOMM:
        case EREMOTEIO:
            return "der Netzwerkrechner ist nicht erreichbar";
        case EUCLEAN:
        case EBADMSG:
            return "das Dateisystem ist beschädigt";
        case ENODATA:
            return "keine Daten vorhanden";
        case ECANCELED:
            return "abgebrochen";
        case EPIPE:
            return "der Empfänger liest nicht mehr";
        default:
            return "unerwarteter Systemfehler Nr. " + std::to_string(error.value());
    }
}

}  // namespace versalo
