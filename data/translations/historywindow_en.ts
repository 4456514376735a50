<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message><source>Cronologia della formula (Ctrl+K)</source><translation>Formula history (Ctrl+K)</translation></message>
    <message><source>Cronologia della formula</source><translation>Formula history</translation></message>
    <message><source>Versione</source><translation>Version</translation></message>
    <message><source>Utente</source><translation>User</translation></message>
    <message><source>Data (UTC)</source><translation>Date (UTC)</translation></message>
    <message><source>Commento</source><translation>Comment</translation></message>
    <message><source>Caratteri</source><translation>Characters</translation></message>
    <message><source>Ripristina (versione della cronologia)</source><translation>Restore</translation></message>
    <message><source>Mette la versione scelta nel riquadro della formula (Ctrl+Z la toglie); si salva come sempre</source><translation>Puts the chosen version into the formula box (Ctrl+Z takes it out again); it is saved as usual</translation></message>
    <message><source>(vuota)</source><translation>(empty)</translation></message>
    <message><source>Sono elencate solo le %1 versioni più recenti</source><translation>Only the %1 latest versions are listed</translation></message>
    <message><source>La formula non ha ancora versioni registrate: la prima si registra al primo salvataggio</source><translation>The formula has no versions recorded yet: the first one is recorded at the first save</translation></message>
    <message><source>La versione %1 non si lascia mostrare nella forma visualizzata: la sua forma SQL non si traduce con gli elementi di oggi</source><translation>Version %1 cannot be shown in display form: its SQL form does not translate with today's elements</translation></message>
    <message><source>La versione %1 è uguale al testo del riquadro</source><translation>Version %1 is the same as the text in the box</translation></message>
    <message><source>Versione %1 contro il riquadro: barrato in rosso ciò che c'è solo nella versione, sottolineato in verde ciò che c'è solo nel riquadro</source><translation>Version %1 against the box: struck out in red what only the version has, underlined in green what only the box has</translation></message>
    <message><source>La finestra non è aperta su un record salvato: non c'è una cronologia da mostrare</source><translation>The window is not open on a saved record: there is no history to show</translation></message>
    <message><source>La formula è stata salvata da %1 il %2 (UTC), versione %3, dopo che questa finestra l'ha letta (versione %4).</source><translation>The formula was saved by %1 on %2 (UTC), version %3, after this window read it (version %4).</translation></message>
    <message><source>Sovrascrivere la sua versione con il testo del riquadro, mostrare le differenze o annullare il salvataggio?</source><translation>Overwrite that version with the text in the box, show the differences or cancel the save?</translation></message>
    <message><source>Formula modificata nel frattempo</source><translation>Formula changed meanwhile</translation></message>
    <message><source>Sovrascrivi</source><translation>Overwrite</translation></message>
    <message><source>Mostra differenze</source><translation>Show differences</translation></message>
    <message><source>Non salvare</source><translation>Do not save</translation></message>
</context>
</TS>
