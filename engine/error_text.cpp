#include "engine/error_text.h"

#include <cerrno>
#include <cstring>

namespace versalo {

std::string ErrorText(int error) {
    switch (error) {
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
        case ENOSPC:
        case EDQUOT:
            return "kein Platz mehr auf dem Datenträger";
        case EMFILE:
        case ENFILE:
            return "zu viele offene Ordner (zu tief verschachtelt)";
        case ENOTDIR:
            return "ist kein Ordner (mehr)";
        case ELOOP:
            return "zu viele symbolische Verknüpfungen";
        case EIO:
            return "Ein-/Ausgabefehler";
        case EEXIST:
            return "der Name ist bereits vergeben";
        default:
            return "Systemfehler " + std::to_string(error) + " (" + std::strerror(error) + ")";
    }
}

}  // namespace versalo
