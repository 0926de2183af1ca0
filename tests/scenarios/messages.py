"""What the patchers say, letter for letter, for the scenarios to compare with."""

CLOSING = "\nAppuyez sur n'importe quelle touche pour quitter le programme."


def banner(game):
    return "\n**** Patcheur pour mettre %s en Français ****\n\n\n" % game


def not_found(game, us_size, eu_size, us_crc, eu_crc):
    return ("Impossible de trouver le fichier ISO %s.\n\n" % game
            + "La taille du fichier doit être la suivante :\n%s octets pour la version US.\n" % us_size
            + "%s octets pour la version EU.\n\n" % eu_size
            + "Le CRC32 doit être le suivant :\n%s pour la version US.\n%s pour la version EU.\n" % (us_crc, eu_crc))


ELVANE_NOT_FOUND = not_found("d'Elvane", "2 599 682 048", "2 669 969 408", "5B0C3A71", "C24E9D06")
VELMORA_NOT_FOUND = not_found("de Velmora", "2 801 958 912", "3 006 791 680", "7E2A91C5", "93D60B4F")


def recognised(european, display):
    if european:
        return "Version européenne détectée : %s\n\n" % display
    return "Version US détectée : %s\n\n" % display


PATCHING = "Patchage du fichier ISO en cours :\n"


def success(output_display):
    return ("\n\nLe patch a été appliqué avec succès !\n"
            "Le fichier du jeu en français est \"%s\".\n" % output_display)


def failure(image_display):
    return ("\n\nLe patchage a échoué dû à un problème de CRC32. Le fichier \"%s\" n'est pas correct.\n"
            % image_display)


NO_US_DELTA = "Unable to find the US->FR xdelta patch file.\n"
NO_EU_DELTA = "Unable to find the EU->FR xdelta patch file.\n"
CANNOT_CREATE_TEMPORARY = "Impossible de créer le fichier ISO temporaire.\n"
INTERRUPTED = "\n\nLe patchage a été interrompu.\n"
WRITE_FAILED = "\n\nImpossible d'écrire le fichier ISO temporaire : le disque est peut-être plein.\n"


def not_enough_space(folder, needed, free):
    def grouped(count):
        return "{:,}".format(count).replace(",", " ")
    return ("Pas assez d'espace libre dans le dossier \"%s\".\nIl faut %s octets, il n'y en a que %s.\n"
            % (folder, grouped(needed), grouped(free)))
