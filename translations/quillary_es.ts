<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name>CodeEditor</name>
    <message>
        <source>This code cannot be changed: line %L1 is %L2 characters long, and text with a line over %L3 characters is shown read-only. Copy, Select All and Save As still work.</source>
        <extracomment>A refused edit: %1 the line&apos;s number, %2 its length, %3 the longest line that can be edited</extracomment>
        <translation>Este código no se puede cambiar: la línea %L1 tiene %L2 caracteres, y un texto con una línea de más de %L3 caracteres se muestra en solo lectura. Copiar, Seleccionar todo y Guardar como siguen funcionando.</translation>
    </message>
    <message>
        <source>The change was not made: it would make line %L1 %L2 characters long, and a line over %L3 characters can only be shown read-only.</source>
        <extracomment>A refused edit: %1 the line&apos;s number, %2 the length it would have, %3 the longest line that can be edited</extracomment>
        <translation>El cambio no se hizo: dejaría la línea %L1 con %L2 caracteres, y una línea de más de %L3 caracteres solo se puede mostrar en solo lectura.</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>code file</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;: a translation may carry its article</extracomment>
        <translation>el archivo de código</translation>
    </message>
    <message>
        <source>category folder</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;</extracomment>
        <translation>la carpeta de categoría</translation>
    </message>
    <message>
        <source>library folder</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;</extracomment>
        <translation>la carpeta de la biblioteca</translation>
    </message>
    <message>
        <source>history folder</source>
        <extracomment>What failed, put into &quot;The %1 &quot;path&quot; cannot be ...&quot;</extracomment>
        <translation>la carpeta del historial</translation>
    </message>
    <message>
        <source>opened</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>abrir</translation>
    </message>
    <message>
        <source>saved</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>guardar</translation>
    </message>
    <message>
        <source>deleted</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>eliminar</translation>
    </message>
    <message>
        <source>created</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>crear</translation>
    </message>
    <message>
        <source>removed</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>quitar</translation>
    </message>
    <message>
        <source>read</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>leer</translation>
    </message>
    <message>
        <source>restored</source>
        <extracomment>What could not be done, put into &quot;... cannot be %3: why&quot;</extracomment>
        <translation>restaurar</translation>
    </message>
    <message>
        <source>The %1 &quot;%2&quot; cannot be %3: %4.</source>
        <extracomment>%1 what failed (&quot;code file&quot;), %2 its path, %3 what could not be done (&quot;saved&quot;), %4 why</extracomment>
        <translation>No se puede %3 %1 «%2»: %4.</translation>
    </message>
</context>
<context>
    <name>History</name>
    <message>
        <source>The history could not record %1 (%2). The command itself was done; the history goes on recording what comes next.</source>
        <translation>El historial no pudo registrar %1 (%2). La orden se ejecutó; el historial seguirá registrando lo que venga después.</translation>
    </message>
    <message>
        <source>History is off: it cannot be made in &quot;%1&quot; (%2). Quillary works as before, without it.</source>
        <translation>El historial está desactivado: no se puede crear en «%1» (%2). Quillary funciona como antes, sin él.</translation>
    </message>
    <message>
        <source>History is off: the history in &quot;%1&quot; cannot be read (%2). Quillary works as before, without it, and leaves that folder as it is.</source>
        <translation>El historial está desactivado: no se puede leer el historial de «%1» (%2). Quillary funciona como antes, sin él, y deja esa carpeta como está.</translation>
    </message>
    <message>
        <source>History is off in this copy of Quillary: Quillary on the machine &quot;%1&quot; holds the history in &quot;%2&quot; (its lock was last renewed %3), so this one records nothing.</source>
        <translation>El historial está desactivado en esta copia de Quillary: Quillary en el equipo «%1» tiene el historial en «%2» (renovó su bloqueo por última vez %3), así que esta no registra nada.</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>desconocido</translation>
    </message>
    <message>
        <source>History is off: another copy of Quillary took over the history in &quot;%1&quot; while this one was not refreshing its lock.</source>
        <translation>El historial está desactivado: otra copia de Quillary tomó el historial en «%1» mientras esta no renovaba su bloqueo.</translation>
    </message>
    <message>
        <source>History is off: the history in &quot;%1&quot; cannot be written to. Quillary works as before, without it.</source>
        <translation>El historial está desactivado: no se puede escribir en el historial de «%1». Quillary funciona como antes, sin él.</translation>
    </message>
    <message>
        <source>a packed copy of its objects</source>
        <translation>una copia empaquetada de sus objetos</translation>
    </message>
</context>
<context>
    <name>LibraryFs</name>
    <message>
        <source>Not a regular file</source>
        <translation>No es un archivo normal</translation>
    </message>
    <message>
        <source>it is larger than %1 MB</source>
        <translation>ocupa más de %1 MB</translation>
    </message>
    <message>
        <source>Reading was cancelled</source>
        <translation>Se canceló la lectura</translation>
    </message>
    <message>
        <source>This is the library folder itself</source>
        <translation>Es la propia carpeta de la biblioteca</translation>
    </message>
    <message>
        <source>The folder holds other folders</source>
        <translation>La carpeta contiene otras carpetas</translation>
    </message>
    <message>
        <source>The folder holds files that are not code snippets</source>
        <translation>La carpeta contiene archivos que no son fragmentos de código</translation>
    </message>
    <message>
        <source>it lies outside the library folder</source>
        <translation>está fuera de la carpeta de la biblioteca</translation>
    </message>
</context>
<context>
    <name>LibrarySync</name>
    <message>
        <source>this program&apos;s libgit2 was built without ssh; use an https remote</source>
        <translation>la libgit2 de este programa se compiló sin ssh; use un remoto https</translation>
    </message>
    <message>
        <source>the remote kept changing while it was synced; try again</source>
        <translation>el remoto no dejó de cambiar durante la sincronización; inténtelo de nuevo</translation>
    </message>
    <message>
        <source>the remote asks for a kind of login this program does not offer</source>
        <translation>el remoto pide un tipo de inicio de sesión que este programa no ofrece</translation>
    </message>
    <message>
        <source>there is no ssh key to log in with (no ssh-agent, no ~/.ssh/id_ed25519 or ~/.ssh/id_rsa)</source>
        <translation>no hay ninguna clave ssh para iniciar sesión (ni ssh-agent, ni ~/.ssh/id_ed25519 ni ~/.ssh/id_rsa)</translation>
    </message>
    <message>
        <source>the server refused the ssh keys offered (%1) for the user &quot;%2&quot;</source>
        <translation>el servidor rechazó las claves ssh ofrecidas (%1) para el usuario «%2»</translation>
    </message>
    <message>
        <source>the login was refused %1 times</source>
        <translation>el inicio de sesión se rechazó %1 veces</translation>
    </message>
    <message>
        <source>the remote asks for a login</source>
        <translation>el remoto pide iniciar sesión</translation>
    </message>
    <message>
        <source>the remote asks for a login, and none was given</source>
        <translation>el remoto pide iniciar sesión y no se indicó ninguno</translation>
    </message>
    <message>
        <source>the login was refused</source>
        <translation>se rechazó el inicio de sesión</translation>
    </message>
    <message>
        <source>the host&apos;s key could not be read</source>
        <translation>no se pudo leer la clave del servidor</translation>
    </message>
    <message>
        <source>too large</source>
        <translation>demasiado grande</translation>
    </message>
    <message>
        <source>the host&apos;s key is not the one ~/.ssh/known_hosts holds for %1 (%2 %3): the connection may be intercepted; if the host was reinstalled, remove its old line from that file</source>
        <translation>la clave del servidor no es la que ~/.ssh/known_hosts guarda para %1 (%2 %3): puede que alguien esté interceptando la conexión; si el servidor se reinstaló, quite su línea antigua de ese archivo</translation>
    </message>
    <message>
        <source>the host&apos;s key was not trusted</source>
        <translation>no se confió en la clave del servidor</translation>
    </message>
    <message>
        <source>the host was not found; the computer may be offline, or the address is wrong</source>
        <translation>no se encontró el servidor; puede que el equipo no tenga conexión o que la dirección sea incorrecta</translation>
    </message>
    <message>
        <source>the host did not answer; the computer may be offline, or the server is down</source>
        <translation>el servidor no respondió; puede que el equipo no tenga conexión o que el servidor esté caído</translation>
    </message>
    <message>
        <source>the server&apos;s certificate is not trusted</source>
        <translation>el certificado del servidor no es de confianza</translation>
    </message>
    <message>
        <source>there is no repository at that address</source>
        <translation>no hay ningún repositorio en esa dirección</translation>
    </message>
    <message>
        <source>the remote closed the connection; there may be no repository at that address</source>
        <translation>el remoto cerró la conexión; puede que no haya ningún repositorio en esa dirección</translation>
    </message>
    <message>
        <source>this program cannot reach a remote of that kind</source>
        <translation>este programa no puede acceder a un remoto de ese tipo</translation>
    </message>
    <message>
        <source>the remote refused the update (%1)</source>
        <translation>el remoto rechazó la actualización (%1)</translation>
    </message>
    <message>
        <source>the history could not be moved on (%1)</source>
        <translation>no se pudo avanzar el historial (%1)</translation>
    </message>
    <message>
        <source>The library could not be synced with &quot;%1&quot;: %2.</source>
        <translation>No se pudo sincronizar la biblioteca con «%1»: %2.</translation>
    </message>
    <message>
        <source>~/.ssh/known_hosts could not be read (%1)</source>
        <translation>no se pudo leer ~/.ssh/known_hosts (%1)</translation>
    </message>
    <message>
        <source>the history holds more than %1 entries, more than this program takes in</source>
        <translation>el historial contiene más de %1 entradas, más de las que este programa admite</translation>
    </message>
    <message>
        <source>the history holds folders more than %1 deep (&quot;%2...&quot;), more than this program takes in</source>
        <translation>el historial contiene carpetas de más de %1 niveles («%2...»), más de lo que este programa admite</translation>
    </message>
    <message>
        <source>the remote sent its login request to another host (%1); no login was sent there</source>
        <translation>el remoto desvió su petición de inicio de sesión a otro equipo (%1); no se envió ningún inicio de sesión allí</translation>
    </message>
    <message>
        <source>the remote asks for a login over plain http, which anyone on the way could read; no login was sent: use an https address</source>
        <translation>el remoto pide un inicio de sesión por http sin cifrar, que cualquiera en el camino podría leer; no se envió ningún inicio de sesión: use una dirección https</translation>
    </message>
    <message>
        <source>larger than %1 MiB</source>
        <translation>mayor de %1 MiB</translation>
    </message>
    <message>
        <source>its name is too long</source>
        <translation>su nombre es demasiado largo</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is a file there, not a category</source>
        <translation>«%1» es allí un archivo, no una categoría</translation>
    </message>
    <message>
        <source>a category has its name</source>
        <translation>una categoría tiene su nombre</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not written into the library (%2); it stays in the history and on the remote</source>
        <translation>«%1» no se escribió en la biblioteca (%2); permanece en el historial y en el remoto</translation>
    </message>
    <message>
        <source>the program&apos;s transport (%1) could not be started: %2</source>
        <translation>el transporte del programa (%1) no se pudo iniciar: %2</translation>
    </message>
    <message>
        <source>the remote sent nothing for %1 seconds; it may be down or the network may be gone</source>
        <translation>el remoto no envió nada durante %1 segundos; puede estar caído o la red puede haberse perdido</translation>
    </message>
    <message>
        <source>the program&apos;s transport stopped unexpectedly (signal %1)</source>
        <translation>el transporte del programa se detuvo inesperadamente (señal %1)</translation>
    </message>
    <message>
        <source>the program&apos;s transport stopped unexpectedly</source>
        <translation>el transporte del programa se detuvo inesperadamente</translation>
    </message>
</context>
<context>
    <name>Names</name>
    <message>
        <source>A category name cannot include any of the following characters:
</source>
        <translation>Un nombre de categoría no puede contener ninguno de los siguientes caracteres:
</translation>
    </message>
    <message>
        <source>A file name cannot include any of the following characters:
</source>
        <translation>Un nombre de archivo no puede contener ninguno de los siguientes caracteres:
</translation>
    </message>
</context>
<context>
    <name>TextPosition</name>
    <message>
        <source>COL: %1  ROW: %2</source>
        <extracomment>The status bar&apos;s position panel, kept short: %1 the column, %2 the line</extracomment>
        <translation>COL: %1  LÍN: %2</translation>
    </message>
</context>
<context>
    <name>frmAbout</name>
    <message>
        <source>About Quillary™</source>
        <translation>Acerca de Quillary™</translation>
    </message>
    <message>
        <source>OK I get the picture...</source>
        <translation>Vale, entendido…</translation>
    </message>
    <message>
        <source>Version </source>
        <translation>Versión </translation>
    </message>
    <message>
        <source>Copyright © 2026 the Quillary authors</source>
        <translation>Copyright © 2026 los autores de Quillary</translation>
    </message>
    <message>
        <source>Thanks to everyone who tried the early builds, sent in snippets and keyword lists, and told us plainly what got in their way. Quillary is built with the Qt toolkit.</source>
        <translation>Gracias a todos los que probaron las primeras versiones, enviaron fragmentos y listas de palabras clave y nos dijeron con franqueza qué les estorbaba. Quillary está hecho con el kit de herramientas Qt.</translation>
    </message>
    <message>
        <source>Quillary icon</source>
        <translation>Icono de Quillary</translation>
    </message>
    <message>
        <source>Version %1.%2 build %3</source>
        <translation>Versión %1.%2 compilación %3</translation>
    </message>
</context>
<context>
    <name>frmClipboard</name>
    <message>
        <source>Code Clipboard</source>
        <translation>Portapapeles de código</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Code Clipboard editor</source>
        <translation>Editor del portapapeles de código</translation>
    </message>
</context>
<context>
    <name>frmDeleted</name>
    <message>
        <source>Deleted Snippets</source>
        <translation>Fragmentos eliminados</translation>
    </message>
    <message>
        <source>Deleted snippets and categories</source>
        <translation>Fragmentos y categorías eliminados</translation>
    </message>
    <message>
        <source>Newest first</source>
        <translation>Los más recientes primero</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nombre</translation>
    </message>
    <message>
        <source>What</source>
        <translation>Qué</translation>
    </message>
    <message>
        <source>Where</source>
        <translation>Dónde</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Cuándo</translation>
    </message>
    <message>
        <source>&amp;Deleted:</source>
        <translation>&amp;Eliminados:</translation>
    </message>
    <message>
        <source>&amp;Restore</source>
        <translation>&amp;Restaurar</translation>
    </message>
    <message>
        <source>Puts the chosen snippet or category back into the library</source>
        <translation>Devuelve el fragmento o la categoría elegidos a la biblioteca</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Reading the history...</source>
        <translation>Leyendo el historial…</translation>
    </message>
    <message>
        <source>snippet</source>
        <translation>fragmento</translation>
    </message>
    <message>
        <source>category, 1 snippet</source>
        <translation>categoría, 1 fragmento</translation>
    </message>
    <message>
        <source>category, %1 snippets</source>
        <translation>categoría, %1 fragmentos</translation>
    </message>
    <message>
        <source>The history of the library cannot be read.</source>
        <translation>No se puede leer el historial de la biblioteca.</translation>
    </message>
    <message>
        <source>No deleted snippets or categories to restore.</source>
        <translation>No hay fragmentos ni categorías eliminados que restaurar.</translation>
    </message>
    <message>
        <source>1 entry</source>
        <translation>1 entrada</translation>
    </message>
    <message>
        <source>%1 entries</source>
        <translation>%1 entradas</translation>
    </message>
</context>
<context>
    <name>frmFind</name>
    <message>
        <source>No snippets match</source>
        <translation>Ningún fragmento coincide</translation>
    </message>
    <message>
        <source>1 snippet matches</source>
        <translation>1 fragmento coincide</translation>
    </message>
    <message>
        <source>%1 snippets match</source>
        <translation>%1 fragmentos coinciden</translation>
    </message>
    <message>
        <source>; the first %1 are listed</source>
        <translation>; se muestran los primeros %1</translation>
    </message>
    <message>
        <source>Find Snippets</source>
        <translation>Buscar fragmentos</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Buscar</translation>
    </message>
    <message>
        <source>Snippets found</source>
        <translation>Fragmentos encontrados</translation>
    </message>
    <message>
        <source>Category</source>
        <translation>Categoría</translation>
    </message>
    <message>
        <source>Sub-category</source>
        <translation>Subcategoría</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nombre</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>Línea</translation>
    </message>
    <message>
        <source>Indexing %1 of %2 snippets</source>
        <translation>Indexando %1 de %2 fragmentos</translation>
    </message>
</context>
<context>
    <name>frmHistory</name>
    <message>
        <source>1 line marked here is not in the snippet&apos;s file now; 1 line of the file is not here.</source>
        <translation>1 línea marcada aquí ya no está en el archivo del fragmento; 1 línea del archivo no está aquí.</translation>
    </message>
    <message>
        <source>1 line marked here is not in the snippet&apos;s file now; %1 lines of the file are not here.</source>
        <translation>1 línea marcada aquí ya no está en el archivo del fragmento; %1 líneas del archivo no están aquí.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the snippet&apos;s file now; 1 line of the file is not here.</source>
        <translation>%1 líneas marcadas aquí ya no están en el archivo del fragmento; 1 línea del archivo no está aquí.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the snippet&apos;s file now; %2 lines of the file are not here.</source>
        <translation>%1 líneas marcadas aquí ya no están en el archivo del fragmento; %2 líneas del archivo no están aquí.</translation>
    </message>
    <message>
        <source>Versions</source>
        <translation>Versiones</translation>
    </message>
    <message>
        <source>Newest first</source>
        <translation>Las más recientes primero</translation>
    </message>
    <message>
        <source>When</source>
        <translation>Cuándo</translation>
    </message>
    <message>
        <source>What</source>
        <translation>Qué</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Tamaño</translation>
    </message>
    <message>
        <source>&amp;Versions:</source>
        <translation>&amp;Versiones:</translation>
    </message>
    <message>
        <source>Chosen version</source>
        <translation>Versión elegida</translation>
    </message>
    <message>
        <source>&amp;Text, lines not in the snippet&apos;s file marked:</source>
        <translation>&amp;Texto, con las líneas que no están en el archivo del fragmento marcadas:</translation>
    </message>
    <message>
        <source>&amp;Restore</source>
        <translation>&amp;Restaurar</translation>
    </message>
    <message>
        <source>Writes the chosen version into the snippet&apos;s file and opens it</source>
        <translation>Escribe la versión elegida en el archivo del fragmento y lo abre</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copiar</translation>
    </message>
    <message>
        <source>Puts the chosen version&apos;s text on the clipboard</source>
        <translation>Copia el texto de la versión elegida al portapapeles</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>eliminado</translation>
    </message>
    <message>
        <source>saved</source>
        <translation>guardado</translation>
    </message>
    <message>
        <source>saved as</source>
        <translation>guardado como</translation>
    </message>
    <message>
        <source>draft discarded</source>
        <translation>borrador descartado</translation>
    </message>
    <message>
        <source>changed outside</source>
        <translation>cambiado fuera</translation>
    </message>
    <message>
        <source>restored</source>
        <translation>restaurado</translation>
    </message>
    <message>
        <source>first version</source>
        <translation>primera versión</translation>
    </message>
    <message>
        <source>History of %1</source>
        <translation>Historial de %1</translation>
    </message>
    <message>
        <source>Reading the history...</source>
        <translation>Leyendo el historial…</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>The history of the library cannot be read.</source>
        <translation>No se puede leer el historial de la biblioteca.</translation>
    </message>
    <message>
        <source>The history holds no version of this snippet.</source>
        <translation>El historial no contiene ninguna versión de este fragmento.</translation>
    </message>
    <message>
        <source>The snippet was deleted here; choose an earlier version.</source>
        <translation>El fragmento se eliminó aquí; elija una versión anterior.</translation>
    </message>
    <message>
        <source>The text of this version cannot be read from the history.</source>
        <translation>No se puede leer el texto de esta versión del historial.</translation>
    </message>
    <message>
        <source>The snippet&apos;s file cannot be read now (%1): every line is marked.</source>
        <translation>Ahora no se puede leer el archivo del fragmento (%1): todas las líneas están marcadas.</translation>
    </message>
    <message>
        <source>Too different from the snippet&apos;s file now to compare line by line: every line is marked.</source>
        <translation>Demasiado distinto del archivo actual del fragmento para compararlo línea a línea: todas las líneas están marcadas.</translation>
    </message>
    <message>
        <source>The same as the snippet&apos;s file now.</source>
        <translation>Igual que el archivo actual del fragmento.</translation>
    </message>
    <message>
        <source>synced</source>
        <translation>sincronizado</translation>
    </message>
    <message>
        <source>1 line marked here is not in the language file now; 1 line of the file is not here.</source>
        <translation>1 línea marcada aquí ya no está en el archivo de lenguajes; 1 línea del archivo no está aquí.</translation>
    </message>
    <message>
        <source>1 line marked here is not in the language file now; %1 lines of the file are not here.</source>
        <translation>1 línea marcada aquí ya no está en el archivo de lenguajes; %1 líneas del archivo no están aquí.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the language file now; 1 line of the file is not here.</source>
        <translation>%1 líneas marcadas aquí ya no están en el archivo de lenguajes; 1 línea del archivo no está aquí.</translation>
    </message>
    <message>
        <source>%1 lines marked here are not in the language file now; %2 lines of the file are not here.</source>
        <translation>%1 líneas marcadas aquí ya no están en el archivo de lenguajes; %2 líneas del archivo no están aquí.</translation>
    </message>
    <message>
        <source>&amp;Text, lines not in the language file marked:</source>
        <translation>&amp;Texto, con las líneas que no están en el archivo de lenguajes marcadas:</translation>
    </message>
    <message>
        <source>Writes the chosen version into the language file and colours by its choices</source>
        <translation>Escribe la versión elegida en el archivo de lenguajes y colorea según sus elecciones</translation>
    </message>
    <message>
        <source>The history holds no version of the language file.</source>
        <translation>El historial no contiene ninguna versión del archivo de lenguajes.</translation>
    </message>
    <message>
        <source>The language file was deleted here; choose an earlier version.</source>
        <translation>El archivo de lenguajes se eliminó aquí; elija una versión anterior.</translation>
    </message>
    <message>
        <source>The language file cannot be read now (%1): every line is marked.</source>
        <translation>Ahora no se puede leer el archivo de lenguajes (%1): todas las líneas están marcadas.</translation>
    </message>
    <message>
        <source>Too different from the language file now to compare line by line: every line is marked.</source>
        <translation>Demasiado distinto del archivo de lenguajes actual para compararlo línea a línea: todas las líneas están marcadas.</translation>
    </message>
    <message>
        <source>The same as the language file now.</source>
        <translation>Igual que el archivo de lenguajes actual.</translation>
    </message>
</context>
<context>
    <name>frmMain</name>
    <message>
        <source>&amp;Language</source>
        <translation>Len&amp;guaje</translation>
    </message>
    <message>
        <source>Keywords from the word list</source>
        <translation>Palabras clave de la lista de palabras</translation>
    </message>
    <message>
        <source>&amp;Earlier Choices...</source>
        <translation>&amp;Elecciones anteriores...</translation>
    </message>
    <message>
        <source>The language file &quot;%1&quot; cannot be read: line %2 is not a language and a category. Every category is coloured by the word list until a language is chosen again, which replaces the file.</source>
        <translation>No se puede leer el archivo de lenguajes «%1»: la línea %2 no es un lenguaje y una categoría. Todas las categorías se colorean según la lista de palabras hasta que se vuelva a elegir un lenguaje, lo que reemplaza el archivo.</translation>
    </message>
    <message>
        <source>The language cannot be kept: &quot;%1&quot; cannot be written: %2.</source>
        <translation>No se puede guardar el lenguaje: no se puede escribir «%1»: %2.</translation>
    </message>
    <message>
        <source>These languages cannot be coloured by their grammar, so their categories are coloured by the word list: %1.</source>
        <translation>Estos lenguajes no se pueden colorear según su gramática, así que sus categorías se colorean según la lista de palabras: %1.</translation>
    </message>
    <message>
        <source>Take the history over? Do so only when Quillary no longer runs there.</source>
        <translation>¿Tomar el historial? Hágalo solo si Quillary ya no se ejecuta allí.</translation>
    </message>
    <message>
        <source>Categories</source>
        <translation>Categorías</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Código</translation>
    </message>
    <message>
        <source>Code Name</source>
        <translation>Nombre del código</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Archivo</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Guardar</translation>
    </message>
    <message>
        <source>Save &amp;As</source>
        <translation>Guardar &amp;como…</translation>
    </message>
    <message>
        <source>Add Category</source>
        <translation>Añadir categoría</translation>
    </message>
    <message>
        <source>Remove Category</source>
        <translation>Quitar categoría</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Salir</translation>
    </message>
    <message>
        <source>FolderPopup</source>
        <extracomment>The category tree&apos;s pop-up menu, never shown in the menu bar</extracomment>
        <translation>Menú de categoría</translation>
    </message>
    <message>
        <source>&amp;Add Category</source>
        <translation>&amp;Añadir categoría</translation>
    </message>
    <message>
        <source>&amp;Remove Category</source>
        <translation>&amp;Quitar categoría</translation>
    </message>
    <message>
        <source>CodePopup</source>
        <extracomment>The code list&apos;s pop-up menu, never shown in the menu bar</extracomment>
        <translation>Menú de código</translation>
    </message>
    <message>
        <source>&amp;Delete Code File</source>
        <translation>&amp;Eliminar archivo de código</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Editar</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Deshacer</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Eliminar</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>Cor&amp;tar</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copiar</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Pegar</translation>
    </message>
    <message>
        <source>Comment</source>
        <extracomment>A sub-menu of Edit: put a comment mark on ...</extracomment>
        <translation>Comentario</translation>
    </message>
    <message>
        <source>Selected Text</source>
        <translation>Texto seleccionado</translation>
    </message>
    <message>
        <source>Whole Line</source>
        <translation>Línea entera</translation>
    </message>
    <message>
        <source>To End of Line</source>
        <translation>Hasta el final de la línea</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>Ay&amp;uda</translation>
    </message>
    <message>
        <source>&amp;Contents</source>
        <translation>&amp;Contenido</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Acerca de</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Barra de herramientas</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Guardar como</translation>
    </message>
    <message>
        <source>Colour Code</source>
        <translation>Colorear código</translation>
    </message>
    <message>
        <source>Code Clipboard</source>
        <translation>Portapapeles de código</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Estado</translation>
    </message>
    <message>
        <source>COL: </source>
        <extracomment>Status bar panels: the column label, then Caps Lock, Num Lock and Insert, kept short</extracomment>
        <translation>COL: </translation>
    </message>
    <message>
        <source>CAPS</source>
        <translation>MAY</translation>
    </message>
    <message>
        <source>NUM</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>INS</source>
        <translation>INS</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>Posición</translation>
    </message>
    <message>
        <source>Caps Lock</source>
        <translation>Bloq Mayús</translation>
    </message>
    <message>
        <source>Num Lock</source>
        <translation>Bloq Num</translation>
    </message>
    <message>
        <source>Insert</source>
        <translation>Insertar</translation>
    </message>
    <message>
        <source>%1 on</source>
        <extracomment>%1 is a key&apos;s name: Caps Lock, Num Lock or Insert</extracomment>
        <translation>%1 activado</translation>
    </message>
    <message>
        <source>%1 off</source>
        <translation>%1 desactivado</translation>
    </message>
    <message>
        <source>Enter a category name.</source>
        <translation>Escriba un nombre de categoría.</translation>
    </message>
    <message>
        <source>Blah</source>
        <translation>Bla</translation>
    </message>
    <message>
        <source>Cannot created Sub-Subdirectories in this version. Sorry.</source>
        <translation>Lo sentimos: esta versión no puede crear subcarpetas dentro de subcarpetas.</translation>
    </message>
    <message>
        <source>Create Category</source>
        <translation>Crear categoría</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; still holds sub-categories or other folders. Remove them first; nothing was deleted.</source>
        <translation>La categoría «%1» todavía contiene subcategorías u otras carpetas. Quítelas primero; no se ha eliminado nada.</translation>
    </message>
    <message>
        <source> and %1 more</source>
        <translation> y %1 más</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; holds files that are not code snippets: %2. Move or delete them first; nothing was deleted.</source>
        <translation>La categoría «%1» contiene archivos que no son fragmentos de código: %2. Muévalos o elimínelos primero; no se ha eliminado nada.</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; lies outside the library folder, so it is not removed; nothing was deleted.</source>
        <translation>La categoría «%1» está fuera de la carpeta de la biblioteca, así que no se quita; no se ha eliminado nada.</translation>
    </message>
    <message>
        <source>Cannot delete the root folder.</source>
        <translation>No se puede eliminar la carpeta raíz.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this category and all the code snippets within?</source>
        <translation>¿Seguro que quiere eliminar esta categoría y todos los fragmentos de código que contiene?</translation>
    </message>
    <message>
        <source>Delete Category</source>
        <translation>Eliminar categoría</translation>
    </message>
    <message>
        <source>The category folder &quot;%1&quot; no longer exists (%2), so the category has been removed from the tree.</source>
        <translation>La carpeta de categoría «%1» ya no existe (%2), así que la categoría se ha quitado del árbol.</translation>
    </message>
    <message>
        <source>The category &quot;%1&quot; cannot be removed: &quot;%2&quot; cannot be deleted: %3.</source>
        <translation>No se puede quitar la categoría «%1»: no se puede eliminar «%2»: %3.</translation>
    </message>
    <message>
        <source>These category folders cannot be read, so their sub-categories are not shown:
%1</source>
        <translation>No se pueden leer estas carpetas de categoría, así que sus subcategorías no se muestran:
%1</translation>
    </message>
    <message>
        <source>&amp;Find Snippets...</source>
        <translation>&amp;Buscar fragmentos…</translation>
    </message>
    <message>
        <source>it is no longer listed</source>
        <translation>ya no aparece en la lista</translation>
    </message>
    <message>
        <source>Snippet &amp;History...</source>
        <translation>&amp;Historial del fragmento…</translation>
    </message>
    <message>
        <source>Delet&amp;ed Snippets...</source>
        <translation>Fragmentos e&amp;liminados…</translation>
    </message>
    <message>
        <source>No code file is selected in the list, so no history is shown.</source>
        <translation>No hay ningún archivo de código seleccionado en la lista, así que no se muestra ningún historial.</translation>
    </message>
    <message>
        <source>it does not lie in a category</source>
        <translation>no está en ninguna categoría</translation>
    </message>
    <message>
        <source>it is not a readable repository</source>
        <translation>no es un repositorio legible</translation>
    </message>
    <message>
        <source>the history does not place it in a category</source>
        <translation>el historial no indica en qué categoría está</translation>
    </message>
    <message>
        <source>its text is missing from the history</source>
        <translation>su texto no está en el historial</translation>
    </message>
    <message>
        <source>Enter a filename: </source>
        <translation>Escriba un nombre de archivo: </translation>
    </message>
    <message>
        <source>Save Code</source>
        <translation>Guardar código</translation>
    </message>
    <message>
        <source>Shortcut %1</source>
        <translation>Atajo %1</translation>
    </message>
    <message>
        <source>no category is selected</source>
        <translation>no hay ninguna categoría seleccionada</translation>
    </message>
    <message>
        <source>Loading and processing code file... Please wait.</source>
        <translation>Cargando y procesando el archivo de código… Espere, por favor.</translation>
    </message>
    <message>
        <source>the list no longer shows the snippets of the selected category</source>
        <translation>la lista ya no muestra los fragmentos de la categoría seleccionada</translation>
    </message>
    <message>
        <source>Loading: 0%</source>
        <translation>Cargando: 0 %</translation>
    </message>
    <message>
        <source>Loading: %1%</source>
        <translation>Cargando: %1 %</translation>
    </message>
    <message>
        <source>The code cannot be %1: the code file &quot;%2&quot; is still being opened.</source>
        <extracomment>%1 what could not be done (&quot;saved&quot;), %2 the file&apos;s path</extracomment>
        <translation>No se puede %1 el código: el archivo de código «%2» todavía se está abriendo.</translation>
    </message>
    <message>
        <source>the editor does not show that snippet</source>
        <translation>el editor no muestra ese fragmento</translation>
    </message>
    <message>
        <source>You cannot save code in the root directory.</source>
        <translation>No se puede guardar código en la carpeta raíz.</translation>
    </message>
    <message>
        <source>The code cannot be saved into &quot;%1&quot;: %2.</source>
        <translation>No se puede guardar el código en «%1»: %2.</translation>
    </message>
    <message>
        <source>untitled.code</source>
        <translation>sin título.code</translation>
    </message>
    <message>
        <source>%1 already exists. Do you want to replace it?</source>
        <translation>%1 ya existe. ¿Quiere reemplazarlo?</translation>
    </message>
    <message>
        <source>No code file is selected in the list, so nothing was deleted.</source>
        <translation>No hay ningún archivo de código seleccionado en la lista, así que no se ha eliminado nada.</translation>
    </message>
    <message>
        <source>Are you sure you want to delete this file?</source>
        <translation>¿Seguro que quiere eliminar este archivo?</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>Eliminar archivo</translation>
    </message>
    <message>
        <source>S&amp;ync Settings...</source>
        <translation>Pre&amp;ferencias de sincronización…</translation>
    </message>
    <message>
        <source>Sy&amp;nc Now</source>
        <translation>Si&amp;ncronizar ahora</translation>
    </message>
    <message>
        <source>The sync settings cannot be saved in the configuration folder; they hold for this run of Quillary only.</source>
        <translation>No se pueden guardar las preferencias de sincronización en la carpeta de configuración; solo valen mientras Quillary siga abierto.</translation>
    </message>
    <message>
        <source>The library cannot be synced: its history is off, and the sync brings histories together.</source>
        <translation>No se puede sincronizar la biblioteca: su historial está desactivado, y la sincronización une historiales.</translation>
    </message>
    <message>
        <source>Cancel Sy&amp;nc</source>
        <translation>Cancelar si&amp;ncronización</translation>
    </message>
    <message>
        <source>Syncing...</source>
        <extracomment>The status bar&apos;s first panel, which is narrow.</extracomment>
        <translation>Sincronizando…</translation>
    </message>
    <message>
        <source>Syncing with &quot;%1&quot;</source>
        <translation>Sincronizando con «%1»</translation>
    </message>
    <message>
        <source>receiving</source>
        <translation>recibiendo</translation>
    </message>
    <message>
        <source>merging</source>
        <translation>combinando</translation>
    </message>
    <message>
        <source>sending</source>
        <translation>enviando</translation>
    </message>
    <message>
        <source>writing the library</source>
        <translation>escribiendo la biblioteca</translation>
    </message>
    <message>
        <source>Sync: %1%</source>
        <extracomment>The status bar&apos;s first panel, which is narrow; %1 is a percentage.</extracomment>
        <translation>Sinc.: %1%</translation>
    </message>
    <message>
        <source>Syncing with &quot;%1&quot;: %2 (%3%)</source>
        <translation>Sincronizando con «%1»: %2 (%3%)</translation>
    </message>
    <message>
        <source>Syncing with &quot;%1&quot;: %2</source>
        <translation>Sincronizando con «%1»: %2</translation>
    </message>
    <message>
        <source>The host &quot;%1&quot; is not known to this machine yet. It shows a %2 key with the fingerprint

%3

Trust this host, remember its key and sync with it?</source>
        <extracomment>%1 is a host name, %2 a key type such as ssh-ed25519, %3 its SHA256 fingerprint.</extracomment>
        <translation>Este equipo aún no conoce el servidor «%1». Presenta una clave %2 con la huella

%3

¿Confiar en este servidor, recordar su clave y sincronizar con él?</translation>
    </message>
    <message>
        <source>&quot;%1&quot; refused that login. User name for &quot;%1&quot;:</source>
        <translation>«%1» rechazó ese inicio de sesión. Nombre de usuario para «%1»:</translation>
    </message>
    <message>
        <source>User name for &quot;%1&quot;:</source>
        <translation>Nombre de usuario para «%1»:</translation>
    </message>
    <message>
        <source>Sync</source>
        <translation>Sincronización</translation>
    </message>
    <message>
        <source>Token or password of &quot;%1&quot; for &quot;%2&quot;:</source>
        <translation>Token o contraseña de «%1» para «%2»:</translation>
    </message>
    <message>
        <source>The login worked, but the desktop&apos;s keyring cannot keep it (%1). Quillary will ask for it at the next sync.</source>
        <translation>El inicio de sesión funcionó, pero el depósito de claves del escritorio no puede guardarlo (%1). Quillary lo pedirá en la próxima sincronización.</translation>
    </message>
    <message>
        <source>Synced</source>
        <translation>Sincronizado</translation>
    </message>
    <message>
        <source>Synced with &quot;%1&quot; at %2</source>
        <translation>Sincronizado con «%1» a las %2</translation>
    </message>
    <message>
        <source>These snippets were changed both here and on another machine. Both are kept: the other machine&apos;s version is the snippet named after it.

%1</source>
        <translation>Estos fragmentos se modificaron aquí y en otro equipo. Se conservan ambos: la versión del otro equipo es el fragmento que lleva su nombre.

%1</translation>
    </message>
    <message>
        <source>Sync cancelled</source>
        <translation>Cancelada</translation>
    </message>
    <message>
        <source>The sync with &quot;%1&quot; was cancelled; the library is as it was.</source>
        <translation>Se canceló la sincronización con «%1»; la biblioteca está como estaba.</translation>
    </message>
    <message>
        <source>Sync failed</source>
        <translation>Falló la sinc.</translation>
    </message>
    <message>
        <source>Quillary closes once the sync with &quot;%1&quot; ends. Quit again to close now.</source>
        <translation>Quillary se cerrará cuando termine la sincronización con «%1». Salga otra vez para cerrarlo ya.</translation>
    </message>
    <message>
        <source>The password in the remote&apos;s address cannot be kept in the desktop&apos;s keyring (%1); it was left out of the address, and Quillary will ask for it at the next sync.</source>
        <translation>La contraseña de la dirección del remoto no se puede guardar en el llavero del escritorio (%1); se quitó de la dirección y Quillary la pedirá en la próxima sincronización.</translation>
    </message>
    <message>
        <source>This version of the language file is not restored: its line %1 is not a language and a category. The current choices stay as they are.</source>
        <translation>Esta versión del archivo de lenguajes no se restaura: su línea %1 no es un lenguaje y una categoría. Las elecciones actuales se mantienen tal como están.</translation>
    </message>
</context>
<context>
    <name>frmSyncSettings</name>
    <message>
        <source>Sync Settings</source>
        <translation>Preferencias de sincronización</translation>
    </message>
    <message>
        <source>ssh://host/path, user@host:path, https://... or a folder</source>
        <translation>ssh://servidor/ruta, usuario@servidor:ruta, https://… o una carpeta</translation>
    </message>
    <message>
        <source>The git repository every machine syncs its library with. Leave it empty to sync nowhere.</source>
        <translation>El repositorio git con el que cada equipo sincroniza su biblioteca. Déjelo vacío para no sincronizar.</translation>
    </message>
    <message>
        <source>Remote &amp;URL:</source>
        <translation>&amp;URL del remoto:</translation>
    </message>
    <message>
        <source>Sync when Quillary &amp;starts</source>
        <translation>Sincronizar al &amp;iniciar Quillary</translation>
    </message>
    <message>
        <source>Sync when Quillary &amp;quits</source>
        <translation>Sincronizar al &amp;salir de Quillary</translation>
    </message>
    <message>
        <source>Sync &amp;every</source>
        <translation>Sincronizar &amp;cada</translation>
    </message>
    <message>
        <source> minutes</source>
        <extracomment>After the number of minutes between two syncs.</extracomment>
        <translation> minutos</translation>
    </message>
    <message>
        <source>Minutes between syncs</source>
        <translation>Minutos entre sincronizaciones</translation>
    </message>
</context>
</TS>
