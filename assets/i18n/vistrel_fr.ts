<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>vistrel</name>
    <message>
        <source>Unknown error</source>
        <translation>Erreur inconnue</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Oui</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Non</translation>
    </message>
</context>
<context>
    <name>vistrel::PaneView</name>
    <message>
        <source>Load image</source>
        <translation>Charger l&apos;image</translation>
    </message>
    <message>
        <source>Center</source>
        <translation>Centrer</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Ajuster</translation>
    </message>
    <message>
        <source>shows the whole photograph in its frame</source>
        <translation>affiche toute l&apos;image dans le cadre</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
</context>
<context>
    <name>vistrel::TForm1</name>
    <message>
        <source>The control points changed since they were last saved or loaded. Save them to &quot;%1&quot;?</source>
        <translation>Les points de contrôle ont changé depuis leur dernier enregistrement ou chargement. Les enregistrer dans « %1 » ?</translation>
    </message>
    <message>
        <source>Saved %1 control points to %2</source>
        <translation>%1 points de contrôle enregistrés dans %2</translation>
    </message>
    <message>
        <source>The control points changed since they were last saved or loaded. Replace them with those of &quot;%1&quot;?</source>
        <translation>Les points de contrôle ont changé depuis leur dernier enregistrement ou chargement. Les remplacer par ceux de « %1 » ?</translation>
    </message>
    <message>
        <source>Control points not loaded: the changed ones are kept</source>
        <translation>Points de contrôle non chargés : les points modifiés sont conservés</translation>
    </message>
    <message>
        <source>Loaded %1 control points from %2</source>
        <translation>%1 points de contrôle chargés depuis %2</translation>
    </message>
    <message>
        <source>Calibrating...</source>
        <translation>Calibration en cours...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Check the control points:</source>
        <translation>Vérifier les points de contrôle :</translation>
    </message>
    <message>
        <source>Calibration cancelled: the previous calibration is kept</source>
        <translation>Calibration annulée : la calibration précédente est conservée</translation>
    </message>
    <message>
        <source>Measured object point n° %1</source>
        <translation>Point objet n° %1 mesuré</translation>
    </message>
    <message>
        <source>(%1 points in the file)</source>
        <translation>(%1 points dans le fichier)</translation>
    </message>
    <message>
        <source>Appended X Y Z to %1</source>
        <translation>X Y Z ajoutés à %1</translation>
    </message>
    <message>
        <source>P&amp;roject</source>
        <translation>P&amp;rojet</translation>
    </message>
    <message>
        <source>&amp;Open Project...</source>
        <translation>&amp;Ouvrir un projet...</translation>
    </message>
    <message>
        <source>Save &amp;Project...</source>
        <translation>Enregistrer le &amp;projet...</translation>
    </message>
    <message>
        <source>&amp;Points</source>
        <translation>&amp;Points</translation>
    </message>
    <message>
        <source>&amp;Previous point</source>
        <translation>Point &amp;précédent</translation>
    </message>
    <message>
        <source>&amp;Next point</source>
        <translation>Point &amp;suivant</translation>
    </message>
    <message>
        <source>&amp;Store captured pixels</source>
        <translation>&amp;Enregistrer les pixels saisis</translation>
    </message>
    <message>
        <source>&amp;Import coordinates...</source>
        <translation>&amp;Importer des coordonnées...</translation>
    </message>
    <message>
        <source>Save &amp;Control Points</source>
        <translation>Enregistrer les points de &amp;contrôle</translation>
    </message>
    <message>
        <source>&amp;Load Control Points</source>
        <translation>&amp;Charger les points de contrôle</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Affichage</translation>
    </message>
    <message>
        <source>Fit &amp;left image</source>
        <translation>Ajuster l&apos;image &amp;gauche</translation>
    </message>
    <message>
        <source>Fit &amp;right image</source>
        <translation>Ajuster l&apos;image &amp;droite</translation>
    </message>
    <message>
        <source>Zoom &amp;in under the pointer</source>
        <translation>&amp;Agrandir sous le pointeur</translation>
    </message>
    <message>
        <source>Zoom &amp;out under the pointer</source>
        <translation>&amp;Réduire sous le pointeur</translation>
    </message>
    <message>
        <source>&amp;Compute</source>
        <translation>&amp;Calcul</translation>
    </message>
    <message>
        <source>&amp;Compute Ext./Int. parameters</source>
        <translation>&amp;Calculer les paramètres ext./int.</translation>
    </message>
    <message>
        <source>&amp;Measure Object Point</source>
        <translation>&amp;Mesurer le point objet</translation>
    </message>
    <message>
        <source>&amp;Save Measured Point</source>
        <translation>&amp;Enregistrer le point mesuré</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>Store on &amp;click</source>
        <translation>Enregistrer au &amp;clic</translation>
    </message>
    <message>
        <source>a click in a photograph stores the pixel at once, for the selected point or the next one that lacks it</source>
        <translation>un clic dans une image enregistre aussitôt le pixel, pour le point choisi ou le suivant auquel il manque</translation>
    </message>
    <message>
        <source>&amp;Advance to the next point</source>
        <translation>&amp;Passer au point suivant</translation>
    </message>
    <message>
        <source>a complete control point hands the selection to the next one that is not complete</source>
        <translation>un point de contrôle complet passe la main au point suivant qui n&apos;est pas complet</translation>
    </message>
    <message>
        <source>%1: on</source>
        <translation>%1 : activé</translation>
    </message>
    <message>
        <source>%1: off</source>
        <translation>%1 : désactivé</translation>
    </message>
    <message>
        <source>next point: %1, previous point: %2</source>
        <translation>point suivant : %1, point précédent : %2</translation>
    </message>
    <message>
        <source>stores the captured pixel of the selected point; so does Enter in a box</source>
        <translation>enregistre le pixel saisi du point choisi ; Entrée dans une case aussi</translation>
    </message>
    <message>
        <source>%1 / %2: zoom under the pointer</source>
        <translation>%1 / %2 : zoom sous le pointeur</translation>
    </message>
    <message>
        <source>Left pixel of %1 already stored (%2): nothing stored; select the point to replace it</source>
        <translation>Pixel gauche du %1 déjà enregistré (%2) : rien n&apos;est enregistré ; choisir le point pour le remplacer</translation>
    </message>
    <message>
        <source>Right pixel of %1 already stored (%2): nothing stored; select the point to replace it</source>
        <translation>Pixel droit du %1 déjà enregistré (%2) : rien n&apos;est enregistré ; choisir le point pour le remplacer</translation>
    </message>
    <message>
        <source>Left pixel %1 stored in %2</source>
        <translation>Pixel gauche %1 enregistré dans le %2</translation>
    </message>
    <message>
        <source>Right pixel %1 stored in %2</source>
        <translation>Pixel droit %1 enregistré dans le %2</translation>
    </message>
    <message>
        <source>Left pixel %1 replaced %2 in %3</source>
        <translation>Pixel gauche %1 : remplace %2 dans le %3</translation>
    </message>
    <message>
        <source>Right pixel %1 replaced %2 in %3</source>
        <translation>Pixel droit %1 : remplace %2 dans le %3</translation>
    </message>
    <message>
        <source>Import coordinates</source>
        <translation>Importer des coordonnées</translation>
    </message>
    <message>
        <source>Coordinate lists (*.txt *.csv *.xyz *.dat)</source>
        <translation>Listes de coordonnées (*.txt *.csv *.xyz *.dat)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>Store these space coordinates from %1?
</source>
        <translation>Enregistrer ces coordonnées spatiales de %1 ?
</translation>
    </message>
    <message>
        <source>line %1 taken as a header</source>
        <translation>ligne %1 prise pour un en-tête</translation>
    </message>
    <message>
        <source>rows assigned by the number in their names</source>
        <translation>lignes attribuées selon le numéro de leur nom</translation>
    </message>
    <message>
        <source>
Control : %1  &lt;-  line %2 %3:  X %4  Y %5  Z %6</source>
        <translation>
Control : %1  &lt;-  ligne %2 %3 :  X %4  Y %5  Z %6</translation>
    </message>
    <message>
        <source>Imported %1 space coordinates from %2</source>
        <translation>%1 coordonnées spatiales importées de %2</translation>
    </message>
    <message>
        <source>Open Project</source>
        <translation>Ouvrir un projet</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Enregistrer le projet</translation>
    </message>
    <message>
        <source>Left Image</source>
        <translation>Image gauche</translation>
    </message>
    <message>
        <source>Right Image</source>
        <translation>Image droite</translation>
    </message>
    <message>
        <source>Control points - Left Image</source>
        <translation>Points de contrôle - image gauche</translation>
    </message>
    <message>
        <source>Control points - Right Image</source>
        <translation>Points de contrôle - image droite</translation>
    </message>
    <message>
        <source>Selected point</source>
        <translation>Point choisi</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>double-click to change the colour</source>
        <translation>double-cliquer pour modifier la couleur</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>Indice</translation>
    </message>
    <message>
        <source>Display</source>
        <translation>Affichage</translation>
    </message>
    <message>
        <source>Selected</source>
        <translation>Choisi</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Tous</translation>
    </message>
    <message>
        <source>Residuals</source>
        <translation>Résidus</translation>
    </message>
    <message>
        <source>draws each control point&apos;s residual, 20 times larger: the stroke runs from the marker (the pixel clicked) to the position the calibration computes</source>
        <translation>dessine le résidu de chaque point de contrôle, agrandi 20 fois : le trait part du repère (point cliqué) et va vers la position calculée par la calibration</translation>
    </message>
    <message>
        <source>stored coordinates (left, right, space) and calibration residual in pixels; click a row to select its point</source>
        <translation>coordonnées enregistrées (gauche, droite, espace) et résidu de calibration en pixels ; cliquer une ligne pour choisir le point</translation>
    </message>
    <message>
        <source>Image coordinates (mouse click)</source>
        <translation>Coordonnées image (clic de souris)</translation>
    </message>
    <message>
        <source>Store Point coordinates</source>
        <translation>Enregistrer les coordonnées</translation>
    </message>
    <message>
        <source>Space coordinates</source>
        <translation>Coordonnées spatiales</translation>
    </message>
    <message>
        <source>calculated / input (control points)</source>
        <translation>calculées / saisies (points de contrôle)</translation>
    </message>
    <message>
        <source>Save Control Points</source>
        <translation>Enregistrer les points de contrôle</translation>
    </message>
    <message>
        <source>saves the coordinates to the file &quot;reference.txt&quot;</source>
        <translation>sauvegarde les coordonnées dans le fichier &quot;reference.txt&quot;</translation>
    </message>
    <message>
        <source>Load Control Points</source>
        <translation>Charger les points de contrôle</translation>
    </message>
    <message>
        <source>loads the reference points&apos; coordinates from the file &quot;reference.txt&quot;</source>
        <translation>charge les coordonnées des points de référence à partir du fichier &quot;reference.txt&quot;</translation>
    </message>
    <message>
        <source>Correc. Distortions</source>
        <translation>Correc. distorsions</translation>
    </message>
    <message>
        <source>Lens model: as check box</source>
        <translation>Modèle d&apos;objectif : selon la case</translation>
    </message>
    <message>
        <source>none</source>
        <translation>aucun</translation>
    </message>
    <message>
        <source>radial (a1)</source>
        <translation>radial (a1)</translation>
    </message>
    <message>
        <source>full (5 coefficients)</source>
        <translation>complet (5 coefficients)</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>automatique</translation>
    </message>
    <message>
        <source>Lens model: %1</source>
        <translation>Modèle d&apos;objectif : %1</translation>
    </message>
    <message>
        <source>lens model: &quot;automatic&quot; keeps the simplest whose coefficients are significant; the first entry follows the &quot;Correc. Distortions&quot; box</source>
        <translation>modèle de distorsion : « automatique » garde le plus simple dont les coefficients sont significatifs ; le premier choix suit la case « Correc. distorsions »</translation>
    </message>
    <message>
        <source>Compute Ext./Int. parameters</source>
        <translation>Calculer les paramètres ext./int.</translation>
    </message>
    <message>
        <source>computes the DLT parameters, needed before measuring</source>
        <translation>calcule les paramètres DLT, indispensable avant de vectoriser</translation>
    </message>
    <message>
        <source>Calibration quality</source>
        <translation>Qualité de la calibration</translation>
    </message>
    <message>
        <source>shows the calibration&apos;s residuals and precision</source>
        <translation>affiche les résidus et la précision de la calibration</translation>
    </message>
    <message>
        <source>Measure Object Point</source>
        <translation>Mesurer le point objet</translation>
    </message>
    <message>
        <source>computes the space coordinates of an observation point</source>
        <translation>détermine les coordonnées spatiales d&apos;un point d&apos;observation</translation>
    </message>
    <message>
        <source>Save Measured Point </source>
        <translation>Enregistrer le point mesuré </translation>
    </message>
    <message>
        <source>appends the observation point&apos;s space coordinates to the file &quot;geom.txt&quot;</source>
        <translation>sauvegarde les coordonnées spatiales du point d&apos;observation dans le fichier &quot;geom.txt&quot;</translation>
    </message>
    <message>
        <source>3D vizualization</source>
        <translation>Visualisation 3D</translation>
    </message>
    <message>
        <source>shows in 3D the points stored in the file &quot;geom.txt&quot;</source>
        <translation>visualise en 3D  les points stockés dans le fichier &quot;geom.txt&quot;</translation>
    </message>
    <message>
        <source>VISTREL team</source>
        <translation>Équipe VISTREL</translation>
    </message>
    <message>
        <source>Help: the &quot;?&quot; button between the two photographs</source>
        <translation>Aide : bouton « ? » entre les deux images</translation>
    </message>
    <message>
        <source>&amp;Fit photographs when shown</source>
        <translation>&amp;Ajuster les photographies à l&apos;affichage</translation>
    </message>
    <message>
        <source>shows each photograph whole in its frame at start and when loaded</source>
        <translation>affiche chaque photographie entière dans son cadre à l&apos;ouverture et au chargement</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Langue</translation>
    </message>
    <message>
        <source>&amp;System&apos;s</source>
        <translation>Celle du &amp;système</translation>
    </message>
    <message>
        <source>%1: from the next start</source>
        <translation>%1 : au prochain démarrage</translation>
    </message>
    <message>
        <source>No target under the pointer: nothing captured</source>
        <translation>Aucune cible sous le pointeur : rien n&apos;est saisi</translation>
    </message>
    <message>
        <source>Left photograph incomplete (%1)</source>
        <translation>Photographie gauche incomplète (%1)</translation>
    </message>
    <message>
        <source>Right photograph incomplete (%1)</source>
        <translation>Photographie droite incomplète (%1)</translation>
    </message>
    <message>
        <source>the object point</source>
        <translation>point objet</translation>
    </message>
    <message>
        <source>control point %1</source>
        <translation>point de contrôle %1</translation>
    </message>
    <message>
        <source>VISTREL project (*%1)</source>
        <translation>Projet VISTREL (*%1)</translation>
    </message>
    <message>
        <source>zoom %1 %</source>
        <translation>zoom %1 %</translation>
    </message>
    <message>
        <source>x %1  y %2</source>
        <translation>x %1  y %2</translation>
    </message>
    <message>
        <source>outside the photograph</source>
        <translation>hors de la photographie</translation>
    </message>
    <message>
        <source>stored</source>
        <translation>enregistré</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>manquant</translation>
    </message>
    <message>
        <source>%1: left %2, right %3</source>
        <translation>%1 : gauche %2, droite %3</translation>
    </message>
    <message>
        <source>%1: left %2, right %3, space %4</source>
        <translation>%1 : gauche %2, droite %3, espace %4</translation>
    </message>
    <message>
        <source>Leaving each control point out...</source>
        <translation>Chaque point d&apos;appui mis de côté...</translation>
    </message>
    <message>
        <source>Leave one out</source>
        <translation>Un point mis de côté</translation>
    </message>
    <message>
        <source>Leave one out cancelled</source>
        <translation>Mise de côté annulée</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>Appui</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>Contrôle</translation>
    </message>
    <message>
        <source>Object</source>
        <translation>Objet</translation>
    </message>
    <message>
        <source>&amp;Add point...</source>
        <translation>&amp;Ajouter un point...</translation>
    </message>
    <message>
        <source>Re&amp;name point...</source>
        <translation>Re&amp;nommer le point...</translation>
    </message>
    <message>
        <source>&amp;Delete point</source>
        <translation>&amp;Supprimer le point</translation>
    </message>
    <message>
        <source>Chec&amp;k point</source>
        <translation>Point de &amp;contrôle</translation>
    </message>
    <message>
        <source>a check point is measured after the calibration and compared with its known coordinates, not used to calibrate</source>
        <translation>un point de contrôle est mesuré après la calibration et comparé à ses coordonnées connues, sans servir à calibrer</translation>
    </message>
    <message>
        <source>Add point</source>
        <translation>Ajouter un point</translation>
    </message>
    <message>
        <source>Name of the new point:</source>
        <translation>Nom du nouveau point :</translation>
    </message>
    <message>
        <source>Kind of point %1:</source>
        <translation>Nature du point %1 :</translation>
    </message>
    <message>
        <source>Rename point</source>
        <translation>Renommer le point</translation>
    </message>
    <message>
        <source>New name of point %1:</source>
        <translation>Nouveau nom du point %1 :</translation>
    </message>
    <message>
        <source>Delete point %1 and what is stored for it?</source>
        <translation>Supprimer le point %1 et ce qui est enregistré pour lui ?</translation>
    </message>
    <message>
        <source>Added point %1</source>
        <translation>Point %1 ajouté</translation>
    </message>
    <message>
        <source>Renamed point %1 to %2</source>
        <translation>Point %1 renommé %2</translation>
    </message>
    <message>
        <source>Deleted point %1</source>
        <translation>Point %1 supprimé</translation>
    </message>
    <message>
        <source>Point %1 is now a check point</source>
        <translation>Le point %1 est désormais un point de contrôle</translation>
    </message>
    <message>
        <source>Point %1 is now a control point</source>
        <translation>Le point %1 est désormais un point d&apos;appui</translation>
    </message>
    <message>
        <source>
Check : %1  &lt;-  line %2 %3:  X %4  Y %5  Z %6</source>
        <translation>
Check : %1  &lt;-  ligne %2 %3 :  X %4  Y %5  Z %6</translation>
    </message>
    <message>
        <source>&amp;Find control targets</source>
        <translation>&amp;Trouver les cibles de contrôle</translation>
    </message>
    <message>
        <source>left photograph</source>
        <translation>photographie gauche</translation>
    </message>
    <message>
        <source>right photograph</source>
        <translation>photographie droite</translation>
    </message>
    <message>
        <source>The coordinate list holds %1 control points: six or more are needed to find them</source>
        <translation>La liste de coordonnées contient %1 points de contrôle : il en faut six ou plus pour les trouver</translation>
    </message>
    <message>
        <source>Finding the control targets in both photographs...</source>
        <translation>Recherche des cibles de contrôle dans les deux photographies...</translation>
    </message>
    <message>
        <source>Find control targets</source>
        <translation>Trouver les cibles de contrôle</translation>
    </message>
    <message>
        <source>Search for the control targets cancelled: nothing stored</source>
        <translation>Recherche des cibles de contrôle annulée : rien n&apos;est enregistré</translation>
    </message>
    <message>
        <source>%1: ambiguous, another assignment of its targets fits about as well</source>
        <translation>%1 : ambiguë, une autre attribution de ses cibles convient presque aussi bien</translation>
    </message>
    <message>
        <source>%1: fewer than seven control points among its %2 targets</source>
        <translation>%1 : moins de sept points de contrôle parmi ses %2 cibles</translation>
    </message>
    <message>
        <source>only %1 control points found in both photographs, six are needed</source>
        <translation>seulement %1 points de contrôle trouvés dans les deux photographies, il en faut six</translation>
    </message>
    <message>
        <source>The control targets could not be found:
%1
Nothing stored: mark them with Shift-clicks.</source>
        <translation>Les cibles de contrôle n&apos;ont pas pu être trouvées :
%1
Rien n&apos;est enregistré : pointez-les par Maj-clic.</translation>
    </message>
    <message>
        <source>Control targets not found: nothing stored</source>
        <translation>Cibles de contrôle non trouvées : rien n&apos;est enregistré</translation>
    </message>
    <message>
        <source>%1: left %2, right %3</source>
        <translation>%1 : gauche %2, droite %3</translation>
    </message>
    <message>
        <source>Store the %1 control points found in both photographs?

%2</source>
        <translation>Enregistrer les %1 points de contrôle trouvés dans les deux photographies ?

%2</translation>
    </message>
    <message>
        <source>Not found: %1</source>
        <translation>Non trouvés : %1</translation>
    </message>
    <message>
        <source>Found control targets not stored</source>
        <translation>Cibles de contrôle trouvées non enregistrées</translation>
    </message>
    <message>
        <source>%1 control points stored from their targets: F9 calibrates</source>
        <translation>%1 points de contrôle enregistrés d&apos;après leurs cibles : F9 calibre</translation>
    </message>
    <message>
        <source>Left %1 and right %2 stored in %3: the one target on the epipolar line</source>
        <translation>Gauche %1 et droite %2 enregistrés dans le %3 : la seule cible sur la ligne épipolaire</translation>
    </message>
    <message>
        <source>Left %1 and right %2 stored in %3</source>
        <translation>Gauche %1 et droite %2 enregistrés dans le %3</translation>
    </message>
    <message>
        <source>No target within %1 px of the epipolar line in the %2: only this pixel captured</source>
        <translation>Aucune cible à moins de %1 px de la ligne épipolaire dans la %2 : seul ce pixel est capturé</translation>
    </message>
    <message>
        <source>%1 targets on the epipolar line in the %2 (%3): nothing stored, Shift-click the right one</source>
        <translation>%1 cibles sur la ligne épipolaire dans la %2 (%3) : rien n&apos;est enregistré, faites un Maj-clic sur la bonne</translation>
    </message>
</context>
<context>
    <name>vistrel::THelpViewer</name>
    <message>
        <source>VISTREL help</source>
        <translation>Aide de VISTREL</translation>
    </message>
    <message>
        <source>Help file not found</source>
        <translation>Fichier d&apos;aide introuvable</translation>
    </message>
</context>
<context>
    <name>vistrel::TQualityWindow</name>
    <message>
        <source>pixels</source>
        <translation>pixels</translation>
    </message>
    <message>
        <source>degrees</source>
        <translation>degrés</translation>
    </message>
    <message>
        <source>object units</source>
        <translation>unités objet</translation>
    </message>
    <message>
        <source>Point</source>
        <translation>Point</translation>
    </message>
    <message>
        <source>Left ex</source>
        <translation>Gauche ex</translation>
    </message>
    <message>
        <source>Left ey</source>
        <translation>Gauche ey</translation>
    </message>
    <message>
        <source>Left |e|</source>
        <translation>Gauche |e|</translation>
    </message>
    <message>
        <source>Right ex</source>
        <translation>Droite ex</translation>
    </message>
    <message>
        <source>Right ey</source>
        <translation>Droite ey</translation>
    </message>
    <message>
        <source>Right |e|</source>
        <translation>Droite |e|</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Paramètre</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Valeur</translation>
    </message>
    <message>
        <source>Standard error</source>
        <translation>Écart-type</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Unité</translation>
    </message>
    <message>
        <source>RMS residual %1 px, sigma0 %2 px, %3 fitted parameters.</source>
        <translation>Résidu quadratique moyen %1 px, sigma0 %2 px, %3 paramètres ajustés.</translation>
    </message>
    <message>
        <source>Residuals are observed minus model, in pixels, largest first.</source>
        <translation>Les résidus sont l&apos;observation moins le modèle, en pixels, le plus grand d&apos;abord.</translation>
    </message>
    <message>
        <source>No point lies above 3 sigma0 (%1 px).</source>
        <translation>Aucun point ne dépasse 3 sigma0 (%1 px).</translation>
    </message>
    <message>
        <source>Highlighted: above 3 sigma0 (%1 px) in either photograph.</source>
        <translation>En surbrillance : au-delà de 3 sigma0 (%1 px) dans l&apos;une des photographies.</translation>
    </message>
    <message>
        <source>The joint fit failed: the values are its last trial and the standard errors are not available.</source>
        <translation>L&apos;ajustement conjoint a échoué : les valeurs sont son dernier essai et les écarts-types ne sont pas disponibles.</translation>
    </message>
    <message>
        <source>Start %1: </source>
        <translation>Départ %1 : </translation>
    </message>
    <message>
        <source>failed (%1)</source>
        <translation>échec (%1)</translation>
    </message>
    <message>
        <source>objective %1 px²</source>
        <translation>objectif %1 px²</translation>
    </message>
    <message>
        <source>, %1 iterations</source>
        <translation>, %1 itérations</translation>
    </message>
    <message>
        <source>, stopped: it could not catch up with the best</source>
        <translation>, arrêté : il ne pouvait pas rattraper le meilleur</translation>
    </message>
    <message>
        <source>, stopped on its budget of %1 iterations</source>
        <translation>, arrêté à son budget de %1 itérations</translation>
    </message>
    <message>
        <source>, same cameras as %1</source>
        <translation>, mêmes caméras que %1</translation>
    </message>
    <message>
        <source> — kept</source>
        <translation> — retenu</translation>
    </message>
    <message>
        <source>Distortion coefficients: F = %1, 95 % point %2. </source>
        <translation>Coefficients de distorsion : F = %1, point à 95 % %2. </translation>
    </message>
    <message>
        <source>They explain more than the click noise.</source>
        <translation>Ils expliquent plus que le bruit des clics.</translation>
    </message>
    <message>
        <source>Not significant: nine points do not determine them, and without &quot;Correc. Distortions&quot; the calibration usually measures as well or better.</source>
        <translation>Non significatifs : neuf points ne les déterminent pas, et sans « Correc. distorsions » la calibration mesure en général aussi bien ou mieux.</translation>
    </message>
    <message>
        <source>Lens model: %1</source>
        <translation>Modèle d&apos;objectif : %1</translation>
    </message>
    <message>
        <source>Calibration quality</source>
        <translation>Qualité de la calibration</translation>
    </message>
    <message>
        <source>No calibration yet: compute the parameters first (&quot;Compute Ext./Int. parameters&quot;).</source>
        <translation>Pas encore de calibration : calculer d&apos;abord les paramètres (« Calculer les paramètres ext./int. »).</translation>
    </message>
    <message>
        <source>not available</source>
        <translation>non disponible</translation>
    </message>
    <message>
        <source>Leave one out</source>
        <translation>Un point mis de côté</translation>
    </message>
    <message>
        <source>leaves each control point out in turn, recalibrates and measures it</source>
        <translation>met de côté chaque point d&apos;appui à tour de rôle, recalibre et le mesure</translation>
    </message>
</context>
</TS>
