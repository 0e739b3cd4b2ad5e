<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CodeEditor</name>
    <message>
        <source>This code cannot be changed: line %L1 is %L2 characters long, and text with a line over %L3 characters is shown read-only. Copy, Select All and Save As still work.</source>
        <extracomment>A refused edit: %1 the line&apos;s number, %2 its length, %3 the longest line that can be edited</extracomment>
        <translation>Dieser Code kann nicht geändert werden: Zeile %L1 ist %L2 Zeichen lang, und Text mit einer Zeile über %L3 Zeichen wird schreibgeschützt angezeigt. Kopieren, Alles auswählen und Speichern unter funktionieren weiterhin.</translation>
    </message>
    <message>
        <source>The change was not made: it would make line %L1 %L2 characters long, and a line over %L3 characters can only be shown read-only.</source>
        <extracomment>A refused edit: %1 the line&apos;s number, %2 the length it would have, %3 the longest line that can be edited</extracomment>
        <translation>Die Änderung wurde nicht vorgenommen: Sie würde Zeile %L1 %L2 Zeichen lang machen, und eine Zeile über %L3 Zeichen kann nur schreibgeschützt angezeigt werden.</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>code file</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;: a translation may carry its article</extracomment>
        <translation>Die Code-Datei</translation>
    </message>
    <message>
        <source>category folder</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;</extracomment>
        <translation>Der Kategorieordner</translation>
    </message>
    <message>
        <source>library folder</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;</extracomment>
        <translation>Der Bibliotheksordner</translation>
    </message>
    <message>
        <source>history folder</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;</extracomment>
        <translation>Der Verlaufsordner</translation>
    </message>
    <message>
        <source>opened</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>geöffnet</translation>
    </message>
    <message>
        <source>saved</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>gespeichert</translation>
    </message>
    <message>
        <source>deleted</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>gelöscht</translation>
    </message>
    <message>
        <source>created</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>angelegt</translation>
    </message>
    <message>
        <source>removed</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>entfernt</translation>
    </message>
    <message>
        <source>read</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>gelesen</translation>
    </message>
    <message>
        <source>restored</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>wiederhergestellt</translation>
    </message>
    <message>
        <source>The %1 &quot;%2&quot; cannot be %3: %4.</source>
        <extracomment>%1 what failed (&quot;code file&quot;), %2 its path, %3 what could not be done (&quot;saved&quot;), %4 why</extracomment>
        <translation>%1 „%2“ kann nicht %3 werden: %4.</translation>
    </message>
</context>
<context>
    <name>History</name>
    <message>
        <source>The history could not record %1 (%2). The command itself was done; the history goes on recording what comes next.</source>
        <translation>Der Verlauf konnte %1 nicht aufzeichnen (%2). Der Befehl selbst wurde ausgeführt; der Verlauf zeichnet das Nächste wieder auf.</translation>
    </message>
    <message>
        <source>History is off: it cannot be made in &quot;%1&quot; (%2). Quillary works as before, without it.</source>
        <translation>Der Verlauf ist aus: Er kann in „%1“ nicht angelegt werden (%2). Quillary arbeitet wie bisher, ohne ihn.</translation>
    </message>
    <message>
        <source>History is off: the history in &quot;%1&quot; cannot be read (%2). Quillary works as before, without it, and leaves that folder as it is.</source>
        <translation>Der Verlauf ist aus: Der Verlauf in „%1“ kann nicht gelesen werden (%2). Quillary arbeitet wie bisher, ohne ihn, und lässt diesen Ordner unverändert.</translation>
    </message>
    <message>
        <source>History is off in this copy of Quillary: Quillary on the machine &quot;%1&quot; holds the history in &quot;%2&quot; (its lock was last renewed %3), so this one records nothing.</source>
        <translation>Der Verlauf ist in diesem Quillary aus: Quillary auf dem Rechner „%1“ hält den Verlauf in „%2“ (seine Sperre wurde zuletzt %3 erneuert), daher zeichnet dieses nichts auf.</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>History is off: another copy of Quillary took over the history in &quot;%1&quot; while this one was not refreshing its lock.</source>
        <translation>Der Verlauf ist aus: Ein anderes Quillary hat den Verlauf in „%1“ übernommen, während dieses seine Sperre nicht erneuerte.</translation>
    </message>
    <message>
        <source>History is off: the history in &quot;%1&quot; cannot be written to. Quillary works as before, without it.</source>
        <translation>Der Verlauf ist aus: In den Verlauf in „%1“ kann nicht geschrieben werden. Quillary arbeitet wie bisher, ohne ihn.</translation>
    </message>
    <message>
        <source>a packed copy of its objects</source>
        <translation>eine gepackte Kopie seiner Objekte</translation>
    </message>
</context>
<context>
    <name>LibraryFs</name>
    <message>
        <source>Not a regular file</source>
        <translation>Keine reguläre Datei</translation>
    </message>
    <message>
        <source>it is larger than %1 MB</source>
        <translation>sie ist größer als %1 MB</translation>
    </message>
    <message>
        <source>Reading was cancelled</source>
        <translation>Das Lesen wurde abgebrochen</translation>
    </message>
    <message>
        <source>This is the library folder itself</source>
        <translation>Das ist der Bibliotheksordner selbst</translation>
    </message>
    <message>
        <source>The folder holds other folders</source>
        <translation>Der Ordner enthält weitere Ordner</translation>
    </message>
    <message>
        <source>The folder holds files that are not code snippets</source>
        <translation>Der Ordner enthält Dateien, die keine Code-Schnipsel sind</translation>
    </message>
    <message>
        <source>it lies outside the library folder</source>
        <translation>der Pfad liegt außerhalb des Bibliotheksordners</translation>
    </message>
</context>
<context>
    <name>LibrarySync</name>
    <message>
        <source>this program&apos;s libgit2 was built without ssh; use an https remote</source>
        <translation>die libgit2 dieses Programms wurde ohne ssh gebaut; verwenden Sie eine https-Gegenstelle</translation>
    </message>
    <message>
        <source>the remote kept changing while it was synced; try again</source>
        <translation>die Gegenstelle hat sich während der Synchronisierung ständig geändert; versuchen Sie es erneut</translation>
    </message>
    <message>
        <source>the remote asks for a kind of login this program does not offer</source>
        <translation>die Gegenstelle verlangt eine Anmeldeart, die dieses Programm nicht bietet</translation>
    </message>
    <message>
        <source>there is no ssh key to log in with (no ssh-agent, no ~/.ssh/id_ed25519 or ~/.ssh/id_rsa)</source>
        <translation>es gibt keinen ssh-Schlüssel zum Anmelden (kein ssh-agent, kein ~/.ssh/id_ed25519 oder ~/.ssh/id_rsa)</translation>
    </message>
    <message>
        <source>the server refused the ssh keys offered (%1) for the user &quot;%2&quot;</source>
        <translation>der Server hat die angebotenen ssh-Schlüssel (%1) für den Benutzer „%2“ abgelehnt</translation>
    </message>
    <message>
        <source>the login was refused %1 times</source>
        <translation>die Anmeldung wurde %1-mal abgelehnt</translation>
    </message>
    <message>
        <source>the remote asks for a login</source>
        <translation>die Gegenstelle verlangt eine Anmeldung</translation>
    </message>
    <message>
        <source>the remote asks for a login, and none was given</source>
        <translation>die Gegenstelle verlangt eine Anmeldung, und es wurde keine angegeben</translation>
    </message>
    <message>
        <source>the login was refused</source>
        <translation>die Anmeldung wurde abgelehnt</translation>
    </message>
    <message>
        <source>the host&apos;s key could not be read</source>
        <translation>der Schlüssel des Rechners konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>too large</source>
        <translation>zu groß</translation>
    </message>
    <message>
        <source>the host&apos;s key is not the one ~/.ssh/known_hosts holds for %1 (%2 %3): the connection may be intercepted; if the host was reinstalled, remove its old line from that file</source>
        <translation>der Schlüssel des Rechners ist nicht der, den ~/.ssh/known_hosts für %1 enthält (%2 %3): Die Verbindung wird möglicherweise abgehört; wurde der Rechner neu installiert, entfernen Sie seine alte Zeile aus dieser Datei</translation>
    </message>
    <message>
        <source>the host&apos;s key was not trusted</source>
        <translation>dem Schlüssel des Rechners wurde nicht vertraut</translation>
    </message>
    <message>
        <source>the host was not found; the computer may be offline, or the address is wrong</source>
        <translation>der Rechner wurde nicht gefunden; der Computer ist vielleicht offline, oder die Adresse ist falsch</translation>
    </message>
    <message>
        <source>the host did not answer; the computer may be offline, or the server is down</source>
        <translation>der Rechner hat nicht geantwortet; der Computer ist vielleicht offline, oder der Server läuft nicht</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not trusted</source>
        <translation>dem Zertifikat des Servers wird nicht vertraut</translation>
    </message>
    <message>
        <source>there is no repository at that address</source>
        <translation>unter dieser Adresse gibt es kein Repository</translation>
    </message>
    <message>
        <source>the remote closed the connection; there may be no repository at that address</source>
        <translation>die Gegenstelle hat die Verbindung geschlossen; unter dieser Adresse gibt es vielleicht kein Repository</translation>
    </message>
    <message>
        <source>this program cannot reach a remote of that kind</source>
        <translation>dieses Programm kann eine Gegenstelle dieser Art nicht erreichen</translation>
    </message>
    <message>
        <source>the remote refused the update (%1)</source>
        <translation>die Gegenstelle hat die Aktualisierung abgelehnt (%1)</translation>
    </message>
    <message>
        <source>the history could not be moved on (%1)</source>
        <translation>der Verlauf konnte nicht fortgeschrieben werden (%1)</translation>
    </message>
    <message>
        <source>The library could not be synced with &quot;%1&quot;: %2.</source>
        <translation>Die Bibliothek konnte nicht mit „%1“ synchronisiert werden: %2.</translation>
    </message>
    <message>
        <source>~/.ssh/known_hosts could not be read (%1)</source>
        <translation>~/.ssh/known_hosts konnte nicht gelesen werden (%1)</translation>
    </message>
    <message>
        <source>the history holds more than %1 entries, more than this program takes in</source>
        <translation>der Verlauf enthält mehr als %1 Einträge, mehr als dieses Programm aufnimmt</translation>
    </message>
    <message>
        <source>the history holds folders more than %1 deep (&quot;%2...&quot;), more than this program takes in</source>
        <translation>der Verlauf enthält Ordner, die mehr als %1 Ebenen tief sind („%2...“), mehr als dieses Programm aufnimmt</translation>
    </message>
    <message>
        <source>the remote sent its login request to another host (%1); no login was sent there</source>
        <translation>die Gegenstelle hat ihre Anmeldeanfrage an einen anderen Rechner geleitet (%1); dorthin wurde keine Anmeldung gesendet</translation>
    </message>
    <message>
        <source>the remote asks for a login over plain http, which anyone on the way could read; no login was sent: use an https address</source>
        <translation>die Gegenstelle verlangt eine Anmeldung über unverschlüsseltes http, die jeder auf dem Weg mitlesen könnte; es wurde keine Anmeldung gesendet: Verwenden Sie eine https-Adresse</translation>
    </message>
    <message>
        <source>larger than %1 MiB</source>
        <translation>größer als %1 MiB</translation>
    </message>
    <message>
        <source>its name is too long</source>
        <translation>sein Name ist zu lang</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a file there, not a category</source>
        <translation>„%1“ ist dort eine Datei, keine Kategorie</translation>
    </message>
    <message>
        <source>a category has its name</source>
        <translation>eine Kategorie trägt seinen Namen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not written into the library (%2); it stays in the history and on the remote</source>
        <translation>„%1“ wurde nicht in die Bibliothek geschrieben (%2); es bleibt im Verlauf und auf der Gegenstelle</translation>
    </message>
    <message>
        <source>the program&apos;s transport (%1) could not be started: %2</source>
        <translation>der Transport des Programms (%1) konnte nicht gestartet werden: %2</translation>
    </message>
    <message>
        <source>the remote sent nothing for %1 seconds; it may be down or the network may be gone</source>
        <translation>die Gegenstelle hat %1 Sekunden lang nichts gesendet; sie läuft vielleicht nicht, oder das Netz ist weg</translation>
    </message>
    <message>
        <source>the program&apos;s transport stopped unexpectedly (signal %1)</source>
        <translation>der Transport des Programms wurde unerwartet beendet (Signal %1)</translation>
    </message>
    <message>
        <source>the program&apos;s transport stopped unexpectedly</source>
        <translation>der Transport des Programms wurde unerwartet beendet</translation>
    </message>
</context>
<context>
    <name>Names</name>
    <message>
        <source>A category name cannot include any of the following characters:
</source>
        <translation>Ein Kategoriename darf keines der folgenden Zeichen enthalten:
</translation>
    </message>
    <message>
        <source>A file name cannot include any of the following characters:
</source>
        <translation>Ein Dateiname darf keines der folgenden Zeichen enthalten:
</translation>
    </message>
</context>
<context>
    <name>TextPosition</name>
    <message>
        <source>COL: %1  ROW: %2</source>
        <extracomment>The status bar&apos;s position panel, kept short: %1 the column, %2 the line</extracomment>
        <translation>SP: %1  Z: %2</translation>
    </message>
</context>
<context>
    <name>frmAbout</name>
    <message>
        <source>About Quillary™</source>
        <translation>Über Quillary™</translation>
    </message>
    <message>
        <source>OK I get the picture...</source>
        <translation>OK, alles klar …</translation>
    </message>
    <message>
        <source>Version </source>
        <translation>Version </translation>
    </message>
    <message>
        <source>Copyright © 2026 the Quillary authors</source>
        <translation>Copyright © 2026 die Autoren von Quillary</translation>
    </message>
    <message>
        <source>Thanks to everyone who tried the early builds, sent in snippets and keyword lists, and told us plainly what got in their way. Quillary is built with the Qt toolkit.</source>
        <translation>Danke an alle, die frühe Versionen ausprobiert, Schnipsel und Schlüsselwortlisten eingesandt und uns offen gesagt haben, was sie gestört hat. Quillary ist mit dem Qt-Toolkit gebaut.</translation>
    </message>
    <message>
        <source>Quillary icon</source>
        <translation>Quillary-Symbol</translation>
    </message>
    <message>
        <source>Version %1.%2 build %3</source>
        <translation>Version %1.%2 Build %3</translation>
    </message>
</context>
<context>
    <name>frmClipboard</name>
    <message>
        <source>Code Clipboard</source>
        <translation>Code-Zwischenablage</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Code Clipboard editor</source>
        <translation>Editor der Code-Zwischenablage</translation>
    </message>
</context>
<context>
    <name>frmDeleted</name>
    <message>
        <source>Deleted Snippets</source>
        <translation>Gelöschte Schnipsel</translation>
    </message>
    <message>
        <source>Deleted snippets and categories</source>
        <translation>Gelöschte Schnipsel und Kategorien</translation>
    </message>
    <message>
        <source>Newest first</source>
        <translation>Neueste zuerst</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>What</source>
        <translation>Was</translation>
    </message>
    <message>
        <source>Where</source>
        <translation>Wo</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Wann</translation>
    </message>
    <message>
        <source>&amp;Deleted:</source>
        <translation>&amp;Gelöscht:</translation>
    </message>
    <message>
        <source>&amp;Restore</source>
        <translation>&amp;Wiederherstellen</translation>
    </message>
    <message>
        <source>Puts the chosen snippet or category back into the library</source>
        <translation>Legt den gewählten Schnipsel oder die gewählte Kategorie zurück in die Bibliothek</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Reading the history...</source>
        <translation>Verlauf wird gelesen …</translation>
    </message>
    <message>
        <source>snippet</source>
        <translation>Schnipsel</translation>
    </message>
    <message>
        <source>category, 1 snippet</source>
        <translation>Kategorie, 1 Schnipsel</translation>
    </message>
    <message>
        <source>category, %1 snippets</source>
        <translation>Kategorie, %1 Schnipsel</translation>
    </message>
    <message>
        <source>The history of the library cannot be read.</source>
        <translation>Der Verlauf der Bibliothek kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>No deleted snippets or categories to restore.</source>
        <translation>Keine gelöschten Schnipsel oder Kategorien zum Wiederherstellen.</translation>
    </message>
    <message>
        <source>1 entry</source>
        <translation>1 Eintrag</translation>
    </message>
    <message>
        <source>%1 entries</source>
        <translation>%1 Einträge</translation>
    </message>
</context>
<context>
    <name>frmFind</name>
    <message>
        <source>No snippets match</source>
        <translation>Keine passenden Schnipsel</translation>
    </message>
    <message>
        <source>1 snippet matches</source>
        <translation>1 passender Schnipsel</translation>
    </message>
    <message>
        <source>%1 snippets match</source>
        <translation>%1 passende Schnipsel</translation>
    </message>
    <message>
        <source>; the first %1 are listed</source>
        <translation>; die ersten %1 sind aufgeführt</translation>
    </message>
    <message>
        <source>Find Snippets</source>
        <translation>Schnipsel suchen</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Snippets found</source>
        <translation>Gefundene Schnipsel</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <source>Sub-category</source>
        <translation>Unterkategorie</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>Zeile</translation>
    </message>
    <message>
        <source>Indexing %1 of %2 snippets</source>
        <translation>Schnipsel %1 von %2 wird indiziert</translation>
    </message>
</context>
<context>
    <name>frmHistory</name>
    <message>
        <source>1 line marked here is not in the snippet&apos;s file now; 1 line of the file is not here.</source>
        <translation>1 hier markierte Zeile steht nicht mehr in der Datei des Schnipsels; 1 Zeile der Datei steht nicht hier.</translation>
    </message>
    <message>
        <source>1 line marked here is not in the snippet&apos;s file now; %1 lines of the file are not here.</source>
        <translation>1 hier markierte Zeile steht nicht mehr in der Datei des Schnipsels; %1 Zeilen der Datei stehen nicht hier.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the snippet&apos;s file now; 1 line of the file is not here.</source>
        <translation>%1 hier markierte Zeilen stehen nicht mehr in der Datei des Schnipsels; 1 Zeile der Datei steht nicht hier.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the snippet&apos;s file now; %2 lines of the file are not here.</source>
        <translation>%1 hier markierte Zeilen stehen nicht mehr in der Datei des Schnipsels; %2 Zeilen der Datei stehen nicht hier.</translation>
    </message>
    <message>
        <source>Versions</source>
        <translation>Versionen</translation>
    </message>
    <message>
        <source>Newest first</source>
        <translation>Neueste zuerst</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Wann</translation>
    </message>
    <message>
        <source>What</source>
        <translation>Was</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>&amp;Versions:</source>
        <translation>&amp;Versionen:</translation>
    </message>
    <message>
        <source>Chosen version</source>
        <translation>Gewählte Version</translation>
    </message>
    <message>
        <source>&amp;Text, lines not in the snippet&apos;s file marked:</source>
        <translation>&amp;Text, Zeilen, die nicht in der Datei des Schnipsels stehen, markiert:</translation>
    </message>
    <message>
        <source>&amp;Restore</source>
        <translation>&amp;Wiederherstellen</translation>
    </message>
    <message>
        <source>Writes the chosen version into the snippet&apos;s file and opens it</source>
        <translation>Schreibt die gewählte Version in die Datei des Schnipsels und öffnet sie</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Puts the chosen version&apos;s text on the clipboard</source>
        <translation>Legt den Text der gewählten Version in die Zwischenablage</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>gelöscht</translation>
    </message>
    <message>
        <source>saved</source>
        <translation>gespeichert</translation>
    </message>
    <message>
        <source>saved as</source>
        <translation>gespeichert unter</translation>
    </message>
    <message>
        <source>draft discarded</source>
        <translation>Entwurf verworfen</translation>
    </message>
    <message>
        <source>changed outside</source>
        <translation>außerhalb geändert</translation>
    </message>
    <message>
        <source>restored</source>
        <translation>wiederhergestellt</translation>
    </message>
    <message>
        <source>first version</source>
        <translation>erste Version</translation>
    </message>
    <message>
        <source>History of %1</source>
        <translation>Verlauf von %1</translation>
    </message>
    <message>
        <source>Reading the history...</source>
        <translation>Verlauf wird gelesen …</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
    </message>
    <message>
        <source>The history of the library cannot be read.</source>
        <translation>Der Verlauf der Bibliothek kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The history holds no version of this snippet.</source>
        <translation>Der Verlauf enthält keine Version dieses Schnipsels.</translation>
    </message>
    <message>
        <source>The snippet was deleted here; choose an earlier version.</source>
        <translation>Der Schnipsel wurde hier gelöscht; wählen Sie eine frühere Version.</translation>
    </message>
    <message>
        <source>The text of this version cannot be read from the history.</source>
        <translation>Der Text dieser Version kann nicht aus dem Verlauf gelesen werden.</translation>
    </message>
    <message>
        <source>The snippet&apos;s file cannot be read now (%1): every line is marked.</source>
        <translation>Die Datei des Schnipsels kann gerade nicht gelesen werden (%1): Jede Zeile ist markiert.</translation>
    </message>
    <message>
        <source>Too different from the snippet&apos;s file now to compare line by line: every line is marked.</source>
        <translation>Zu verschieden von der jetzigen Datei des Schnipsels, um Zeile für Zeile zu vergleichen: Jede Zeile ist markiert.</translation>
    </message>
    <message>
        <source>The same as the snippet&apos;s file now.</source>
        <translation>Gleich der jetzigen Datei des Schnipsels.</translation>
    </message>
    <message>
        <source>synced</source>
        <translation>abgeglichen</translation>
    </message>
    <message>
        <source>1 line marked here is not in the language file now; 1 line of the file is not here.</source>
        <translation>1 hier markierte Zeile steht nicht mehr in der Sprachdatei; 1 Zeile der Datei steht nicht hier.</translation>
    </message>
    <message>
        <source>1 line marked here is not in the language file now; %1 lines of the file are not here.</source>
        <translation>1 hier markierte Zeile steht nicht mehr in der Sprachdatei; %1 Zeilen der Datei stehen nicht hier.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the language file now; 1 line of the file is not here.</source>
        <translation>%1 hier markierte Zeilen stehen nicht mehr in der Sprachdatei; 1 Zeile der Datei steht nicht hier.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the language file now; %2 lines of the file are not here.</source>
        <translation>%1 hier markierte Zeilen stehen nicht mehr in der Sprachdatei; %2 Zeilen der Datei stehen nicht hier.</translation>
    </message>
    <message>
        <source>&amp;Text, lines not in the language file marked:</source>
        <translation>&amp;Text, Zeilen, die nicht in der Sprachdatei stehen, markiert:</translation>
    </message>
    <message>
        <source>Writes the chosen version into the language file and colours by its choices</source>
        <translation>Schreibt die gewählte Version in die Sprachdatei und färbt nach ihrer Auswahl ein</translation>
    </message>
    <message>
        <source>The history holds no version of the language file.</source>
        <translation>Der Verlauf enthält keine Version der Sprachdatei.</translation>
    </message>
    <message>
        <source>The language file was deleted here; choose an earlier version.</source>
        <translation>Die Sprachdatei wurde hier gelöscht; wählen Sie eine frühere Version.</translation>
    </message>
    <message>
        <source>The language file cannot be read now (%1): every line is marked.</source>
        <translation>Die Sprachdatei kann gerade nicht gelesen werden (%1): Jede Zeile ist markiert.</translation>
    </message>
    <message>
        <source>Too different from the language file now to compare line by line: every line is marked.</source>
        <translation>Zu verschieden von der jetzigen Sprachdatei, um Zeile für Zeile zu vergleichen: Jede Zeile ist markiert.</translation>
    </message>
    <message>
        <source>The same as the language file now.</source>
        <translation>Gleich der jetzigen Sprachdatei.</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>&amp;Language</source>
        <translation>S&amp;prache</translation>
    </message>
    <message>
        <source>Keywords from the word list</source>
        <translation>Schlüsselwörter aus der Wortliste</translation>
    </message>
    <message>
        <source>&amp;Earlier Choices...</source>
        <translation>&amp;Frühere Auswahl...</translation>
    </message>
    <message>
        <source>The language file &quot;%1&quot; cannot be read: line %2 is not a language and a category. Every category is coloured by the word list until a language is chosen again, which replaces the file.</source>
        <translation>Die Sprachdatei „%1“ kann nicht gelesen werden: Zeile %2 ist keine Sprache mit Kategorie. Jede Kategorie wird nach der Wortliste eingefärbt, bis wieder eine Sprache gewählt wird; das ersetzt die Datei.</translation>
    </message>
    <message>
        <source>The language cannot be kept: &quot;%1&quot; cannot be written: %2.</source>
        <translation>Die Sprache kann nicht gespeichert werden: „%1“ kann nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>These languages cannot be coloured by their grammar, so their categories are coloured by the word list: %1.</source>
        <translation>Diese Sprachen können nicht nach ihrer Grammatik eingefärbt werden, ihre Kategorien werden daher nach der Wortliste eingefärbt: %1.</translation>
    </message>
    <message>
        <source>Take the history over? Do so only when Quillary no longer runs there.</source>
        <translation>Den Verlauf übernehmen? Tun Sie das nur, wenn Quillary dort nicht mehr läuft.</translation>
    </message>
    <message>
        <source>Categories</source>
        <translation>Kategorien</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>Code Name</source>
        <translation>Code-Name</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>Save &amp;As</source>
        <translation>Speichern &amp;unter …</translation>
    </message>
    <message>
        <source>Add Category</source>
        <translation>Kategorie hinzufügen</translation>
    </message>
    <message>
        <source>Remove Category</source>
        <translation>Kategorie entfernen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>FolderPopup</source>
        <extracomment>The category tree&apos;s pop-up menu, never shown in the menu bar</extracomment>
        <translation>Kategorie-Menü</translation>
    </message>
    <message>
        <source>&amp;Add Category</source>
        <translation>Kategorie &amp;hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove Category</source>
        <translation>Kategorie &amp;entfernen</translation>
    </message>
    <message>
        <source>CodePopup</source>
        <extracomment>The code list&apos;s pop-up menu, never shown in the menu bar</extracomment>
        <translation>Code-Menü</translation>
    </message>
    <message>
        <source>&amp;Delete Code File</source>
        <translation>Code-Datei &amp;löschen</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Ausschneiden</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>Comment</source>
        <extracomment>A sub-menu of Edit: put a comment mark on ...</extracomment>
        <translation>Kommentar</translation>
    </message>
    <message>
        <source>Selected Text</source>
        <translation>Markierter Text</translation>
    </message>
    <message>
        <source>Whole Line</source>
        <translation>Ganze Zeile</translation>
    </message>
    <message>
        <source>To End of Line</source>
        <translation>Bis Zeilenende</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation>&amp;Inhalt</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Speichern unter</translation>
    </message>
    <message>
        <source>Colour Code</source>
        <translation>Code einfärben</translation>
    </message>
    <message>
        <source>Code Clipboard</source>
        <translation>Code-Zwischenablage</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>COL: </source>
        <extracomment>Status bar panels: the column label, then Caps Lock, Num Lock and Insert, kept short</extracomment>
        <translation>SP: </translation>
    </message>
    <message>
        <source>CAPS</source>
        <translation>FEST</translation>
    </message>
    <message>
        <source>NUM</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>INS</source>
        <translation>EINFG</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Caps Lock</source>
        <translation>Feststelltaste</translation>
    </message>
    <message>
        <source>Num Lock</source>
        <translation>Num-Taste</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>%1 on</source>
        <extracomment>%1 is a key&apos;s name: Caps Lock, Num Lock or Insert</extracomment>
        <translation>%1 an</translation>
    </message>
    <message>
        <source>%1 off</source>
        <translation>%1 aus</translation>
    </message>
    <message>
        <source>Enter a category name.</source>
        <translation>Geben Sie einen Kategorienamen ein.</translation>
    </message>
    <message>
        <source>Blah</source>
        <translation>Bla</translation>
    </message>
    <message>
        <source>Cannot created Sub-Subdirectories in this version. Sorry.</source>
        <translation>Unter-Unterordner können in dieser Version leider nicht angelegt werden.</translation>
    </message>
    <message>
        <source>Create Category</source>
        <translation>Kategorie anlegen</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; still holds sub-categories or other folders. Remove them first; nothing was deleted.</source>
        <translation>Die Kategorie „%1“ enthält noch Unterkategorien oder andere Ordner. Entfernen Sie diese zuerst; es wurde nichts gelöscht.</translation>
    </message>
    <message>
        <source> and %1 more</source>
        <translation> und %1 weitere</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; holds files that are not code snippets: %2. Move or delete them first; nothing was deleted.</source>
        <translation>Die Kategorie „%1“ enthält Dateien, die keine Code-Schnipsel sind: %2. Verschieben oder löschen Sie diese zuerst; es wurde nichts gelöscht.</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; lies outside the library folder, so it is not removed; nothing was deleted.</source>
        <translation>Die Kategorie „%1“ liegt außerhalb des Bibliotheksordners und wird deshalb nicht entfernt; es wurde nichts gelöscht.</translation>
    </message>
    <message>
        <source>Cannot delete the root folder.</source>
        <translation>Der oberste Ordner kann nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this category and all the code snippets within?</source>
        <translation>Möchten Sie diese Kategorie und alle darin enthaltenen Code-Schnipsel wirklich löschen?</translation>
    </message>
    <message>
        <source>Delete Category</source>
        <translation>Kategorie löschen</translation>
    </message>
    <message>
        <source>The category folder &quot;%1&quot; no longer exists (%2), so the category has been removed from the tree.</source>
        <translation>Der Kategorieordner „%1“ existiert nicht mehr (%2), daher wurde die Kategorie aus dem Baum entfernt.</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; cannot be removed: &quot;%2&quot; cannot be deleted: %3.</source>
        <translation>Die Kategorie „%1“ kann nicht entfernt werden: „%2“ kann nicht gelöscht werden: %3.</translation>
    </message>
    <message>
        <source>These category folders cannot be read, so their sub-categories are not shown:
%1</source>
        <translation>Diese Kategorieordner können nicht gelesen werden, daher werden ihre Unterkategorien nicht angezeigt:
%1</translation>
    </message>
    <message>
        <source>&amp;Find Snippets...</source>
        <translation>&amp;Schnipsel suchen …</translation>
    </message>
    <message>
        <source>it is no longer listed</source>
        <translation>sie ist nicht mehr aufgeführt</translation>
    </message>
    <message>
        <source>Snippet &amp;History...</source>
        <translation>&amp;Verlauf des Schnipsels …</translation>
    </message>
    <message>
        <source>Delet&amp;ed Snippets...</source>
        <translation>&amp;Gelöschte Schnipsel …</translation>
    </message>
    <message>
        <source>No code file is selected in the list, so no history is shown.</source>
        <translation>In der Liste ist keine Code-Datei ausgewählt, daher wird kein Verlauf angezeigt.</translation>
    </message>
    <message>
        <source>it does not lie in a category</source>
        <translation>sie liegt in keiner Kategorie</translation>
    </message>
    <message>
        <source>it is not a readable repository</source>
        <translation>er ist kein lesbares Repository</translation>
    </message>
    <message>
        <source>the history does not place it in a category</source>
        <translation>der Verlauf nennt keine Kategorie dafür</translation>
    </message>
    <message>
        <source>its text is missing from the history</source>
        <translation>ihr Text fehlt im Verlauf</translation>
    </message>
    <message>
        <source>Enter a filename: </source>
        <translation>Geben Sie einen Dateinamen ein: </translation>
    </message>
    <message>
        <source>Save Code</source>
        <translation>Code speichern</translation>
    </message>
    <message>
        <source>Shortcut %1</source>
        <translation>Tastenkürzel %1</translation>
    </message>
    <message>
        <source>no category is selected</source>
        <translation>es ist keine Kategorie ausgewählt</translation>
    </message>
    <message>
        <source>Loading and processing code file... Please wait.</source>
        <translation>Code-Datei wird geladen und verarbeitet … Bitte warten.</translation>
    </message>
    <message>
        <source>the list no longer shows the snippets of the selected category</source>
        <translation>die Liste zeigt nicht mehr die Schnipsel der ausgewählten Kategorie</translation>
    </message>
    <message>
        <source>Loading: 0%</source>
        <translation>Laden: 0 %</translation>
    </message>
    <message>
        <source>Loading: %1%</source>
        <translation>Laden: %1 %</translation>
    </message>
    <message>
        <source>The code cannot be %1: the code file &quot;%2&quot; is still being opened.</source>
        <extracomment>%1 what could not be done (&quot;saved&quot;), %2 the file&apos;s path</extracomment>
        <translation>Der Code kann nicht %1 werden: Die Code-Datei „%2“ wird noch geöffnet.</translation>
    </message>
    <message>
        <source>the editor does not show that snippet</source>
        <translation>der Editor zeigt diesen Schnipsel nicht</translation>
    </message>
    <message>
        <source>You cannot save code in the root directory.</source>
        <translation>Im obersten Ordner kann kein Code gespeichert werden.</translation>
    </message>
    <message>
        <source>The code cannot be saved into &quot;%1&quot;: %2.</source>
        <translation>Der Code kann nicht in „%1“ gespeichert werden: %2.</translation>
    </message>
    <message>
        <source>untitled.code</source>
        <translation>unbenannt.code</translation>
    </message>
    <message>
        <source>%1 already exists. Do you want to replace it?</source>
        <translation>%1 existiert bereits. Möchten Sie die Datei ersetzen?</translation>
    </message>
    <message>
        <source>No code file is selected in the list, so nothing was deleted.</source>
        <translation>In der Liste ist keine Code-Datei ausgewählt, daher wurde nichts gelöscht.</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this file?</source>
        <translation>Möchten Sie diese Datei wirklich löschen?</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>Datei löschen</translation>
    </message>
    <message>
        <source>S&amp;ync Settings...</source>
        <translation>Synchronisierungs-Ei&amp;nstellungen …</translation>
    </message>
    <message>
        <source>Sy&amp;nc Now</source>
        <translation>&amp;Jetzt synchronisieren</translation>
    </message>
    <message>
        <source>The sync settings cannot be saved in the configuration folder; they hold for this run of Quillary only.</source>
        <translation>Die Synchronisierungs-Einstellungen können nicht im Konfigurationsordner gespeichert werden; sie gelten nur, solange Quillary läuft.</translation>
    </message>
    <message>
        <source>The library cannot be synced: its history is off, and the sync brings histories together.</source>
        <translation>Die Bibliothek kann nicht synchronisiert werden: Ihr Verlauf ist aus, und die Synchronisierung führt Verläufe zusammen.</translation>
    </message>
    <message>
        <source>Cancel Sy&amp;nc</source>
        <translation>Synchronisierung a&amp;bbrechen</translation>
    </message>
    <message>
        <source>Syncing...</source>
        <extracomment>The status bar&apos;s first panel, which is narrow.</extracomment>
        <translation>Abgleich …</translation>
    </message>
    <message>
        <source>Syncing with &quot;%1&quot;</source>
        <translation>Synchronisierung mit „%1“</translation>
    </message>
    <message>
        <source>receiving</source>
        <translation>empfangen</translation>
    </message>
    <message>
        <source>merging</source>
        <translation>zusammenführen</translation>
    </message>
    <message>
        <source>sending</source>
        <translation>senden</translation>
    </message>
    <message>
        <source>writing the library</source>
        <translation>Bibliothek schreiben</translation>
    </message>
    <message>
        <source>Sync: %1%</source>
        <extracomment>The status bar&apos;s first panel, which is narrow; %1 is a percentage.</extracomment>
        <translation>Abgleich: %1%</translation>
    </message>
    <message>
        <source>Syncing with &quot;%1&quot;: %2 (%3%)</source>
        <translation>Synchronisierung mit „%1“: %2 (%3%)</translation>
    </message>
    <message>
        <source>Syncing with &quot;%1&quot;: %2</source>
        <translation>Synchronisierung mit „%1“: %2</translation>
    </message>
    <message>
        <source>The host &quot;%1&quot; is not known to this machine yet. It shows a %2 key with the fingerprint

%3

Trust this host, remember its key and sync with it?</source>
        <extracomment>%1 is a host name, %2 a key type such as ssh-ed25519, %3 its SHA256 fingerprint.</extracomment>
        <translation>Der Rechner „%1“ ist diesem Rechner noch nicht bekannt. Er zeigt einen %2-Schlüssel mit dem Fingerabdruck

%3

Möchten Sie diesem Rechner vertrauen, seinen Schlüssel speichern und mit ihm synchronisieren?</translation>
    </message>
    <message>
        <source>&quot;%1&quot; refused that login. User name for &quot;%1&quot;:</source>
        <translation>„%1“ hat diese Anmeldung abgelehnt. Benutzername für „%1“:</translation>
    </message>
    <message>
        <source>User name for &quot;%1&quot;:</source>
        <translation>Benutzername für „%1“:</translation>
    </message>
    <message>
        <source>Sync</source>
        <translation>Synchronisierung</translation>
    </message>
    <message>
        <source>Token or password of &quot;%1&quot; for &quot;%2&quot;:</source>
        <translation>Token oder Passwort von „%1“ für „%2“:</translation>
    </message>
    <message>
        <source>The login worked, but the desktop&apos;s keyring cannot keep it (%1). Quillary will ask for it at the next sync.</source>
        <translation>Die Anmeldung hat funktioniert, aber der Schlüsselbund der Arbeitsumgebung kann sie nicht speichern (%1). Quillary fragt bei der nächsten Synchronisierung erneut danach.</translation>
    </message>
    <message>
        <source>Synced</source>
        <translation>Abgeglichen</translation>
    </message>
    <message>
        <source>Synced with &quot;%1&quot; at %2</source>
        <translation>Mit „%1“ um %2 synchronisiert</translation>
    </message>
    <message>
        <source>These snippets were changed both here and on another machine. Both are kept: the other machine&apos;s version is the snippet named after it.

%1</source>
        <translation>Diese Schnipsel wurden hier und auf einem anderen Rechner geändert. Beide Fassungen bleiben erhalten: Die des anderen Rechners ist der Schnipsel, der nach ihm benannt ist.

%1</translation>
    </message>
    <message>
        <source>Sync cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>The sync with &quot;%1&quot; was cancelled; the library is as it was.</source>
        <translation>Die Synchronisierung mit „%1“ wurde abgebrochen; die Bibliothek ist unverändert.</translation>
    </message>
    <message>
        <source>Sync failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Quillary closes once the sync with &quot;%1&quot; ends. Quit again to close now.</source>
        <translation>Quillary schließt, sobald die Synchronisierung mit „%1“ beendet ist. Beenden Sie erneut, um sofort zu schließen.</translation>
    </message>
    <message>
        <source>The password in the remote&apos;s address cannot be kept in the desktop&apos;s keyring (%1); it was left out of the address, and Quillary will ask for it at the next sync.</source>
        <translation>Das Passwort in der Adresse der Gegenstelle kann nicht im Schlüsselbund der Arbeitsumgebung aufbewahrt werden (%1); es wurde aus der Adresse entfernt, und Quillary fragt bei der nächsten Synchronisierung danach.</translation>
    </message>
    <message>
        <source>This version of the language file is not restored: its line %1 is not a language and a category. The current choices stay as they are.</source>
        <translation>Diese Version der Sprachdatei wird nicht wiederhergestellt: Ihre Zeile %1 ist keine Sprache mit Kategorie. Die jetzige Auswahl bleibt, wie sie ist.</translation>
    </message>
</context>
<context>
    <name>frmSyncSettings</name>
    <message>
        <source>Sync Settings</source>
        <translation>Synchronisierungs-Einstellungen</translation>
    </message>
    <message>
        <source>ssh://host/path, user@host:path, https://... or a folder</source>
        <translation>ssh://rechner/pfad, benutzer@rechner:pfad, https://… oder ein Ordner</translation>
    </message>
    <message>
        <source>The git repository every machine syncs its library with. Leave it empty to sync nowhere.</source>
        <translation>Das Git-Repository, mit dem jeder Rechner seine Bibliothek synchronisiert. Leer lassen, um nicht zu synchronisieren.</translation>
    </message>
    <message>
        <source>Remote &amp;URL:</source>
        <translation>&amp;Adresse der Gegenstelle:</translation>
    </message>
    <message>
        <source>Sync when Quillary &amp;starts</source>
        <translation>Beim &amp;Start von Quillary synchronisieren</translation>
    </message>
    <message>
        <source>Sync when Quillary &amp;quits</source>
        <translation>Beim &amp;Beenden von Quillary synchronisieren</translation>
    </message>
    <message>
        <source>Sync &amp;every</source>
        <translation>&amp;Regelmäßig, alle</translation>
    </message>
    <message>
        <source> minutes</source>
        <extracomment>After the number of minutes between two syncs.</extracomment>
        <translation> Minuten</translation>
    </message>
    <message>
        <source>Minutes between syncs</source>
        <translation>Minuten zwischen zwei Synchronisierungen</translation>
    </message>
</context>
</TS>
