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
INTERRUPTED = ("\n\nLe patchage a été interrompu.\nVotre fichier ISO n'a pas été modifié et les fichiers que le "
               "patchage avait commencés ont été effacés. Pour recommencer, relancez le patcheur.\n")
WRITE_FAILED = ("\n\nImpossible d'écrire le fichier ISO temporaire : le disque est peut-être plein.\n"
                "Libérez de la place sur le disque de votre fichier ISO, ou déplacez tout le dossier du programme sur "
                "un autre disque, puis relancez le patcheur.\n")


def no_decoder(decoder, folder):
    return ("Impossible de trouver le programme %s.\nPlacez-le dans le dossier \"%s\", puis relancez le patcheur.\n"
            % (decoder, folder))


def write_protected(folder):
    return ("Le dossier \"%s\" est protégé en écriture.\nCopiez le programme, le fichier ISO et les fichiers du patch "
            "dans un dossier où vous pouvez écrire (par exemple C:\\Jeux sous Windows), puis lancez le programme "
            "depuis ce dossier.\n" % folder)


def checking(image_display):
    """What opens the CRC32 pass after a failed stage; its progress lines follow."""
    return "\nVérification du CRC32 du fichier \"%s\" :\n" % image_display


def image_right(image_display, version, crc, delta, decoder):
    """After a failed stage: the image is the published dump of `version` ("US", "EU")."""
    return (checking(image_display)
            + "\nCRC32 du fichier : %08X\nCRC32 attendu pour la version %s : %08X\n" % (crc, version, crc)
            + "Votre fichier ISO est le bon : gardez-le. Vérifiez plutôt le fichier du patch \"%s\" et le programme %s.\n"
            % (delta, decoder))


def other_dump(image_display, version, crc, published):
    """After a failed stage: the image is another dump than the published one of `version`."""
    return (checking(image_display)
            + "\nCRC32 du fichier : %08X\nCRC32 attendu pour la version %s : %08X\n" % (crc, version, published)
            + "Votre fichier ISO n'est pas la copie attendue : le patch a besoin de l'ISO de la version %s dont le "
            "CRC32 est %08X.\n" % (version, published)
            + "Refaites une copie exacte de votre disque, jusqu'à obtenir ce CRC32 : voir \"Les images acceptées\" "
            "dans LISEZMOI.txt.\n")


def not_enough_space(folder, needed, free):
    def grouped(count):
        return "{:,}".format(count).replace(",", " ")
    return ("Pas assez d'espace libre sur le disque qui contient le dossier \"%s\".\n"
            "Il faut %s octets libres, il n'y en a que %s.\n"
            "Libérez de la place sur ce disque, ou déplacez tout le dossier du programme sur un autre disque, puis "
            "relancez le patcheur.\n" % (folder, grouped(needed), grouped(free)))
