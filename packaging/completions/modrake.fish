# fish completion for modrake

set -l commands clean merge-lists merge-objects merge-dialogs report fix undo plugins options dump sample-game
set -l plugins_subcommands activate deactivate update-time update-header

# The plugin and master files of the game's Data Files folder (--game, else
# the current folder), as the plugins subcommands take them.
function __modrake_data_names
    set -l game .
    set -l words (commandline -opc)
    for i in (seq (count $words))
        if test "$words[$i]" = --game; and test $i -lt (count $words)
            set game $words[(math $i + 1)]
        else if string match -q -- '--game=*' $words[$i]
            set game (string replace -- '--game=' '' $words[$i])
        end
    end
    for folder in $game/*
        if test -d $folder; and string match -qi 'data files' (path basename $folder)
            for file in $folder/*
                string match -qir '\.es[pm]$' -- $file; and path basename $file
            end
        end
    end
end

function __modrake_plugin_files
    __fish_complete_suffix .esp .esm .ESP .ESM
end

complete -c modrake -f
complete -c modrake -s h -l help -d 'Print the help and exit'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version and exit'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -l game -x -a '(__fish_complete_directories)' -d 'The game folder (holding Morrowind.ini and Data Files)'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -l openmw-config -r -d 'An OpenMW game: its openmw.cfg, or the folder that holds it'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -l home -x -a '(__fish_complete_directories)' -d 'Folder for modrake.ini, modrake.log, modrake.bak and modrake.dat'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -l dry-run -d 'Change nothing in the game; say what the command would do'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -s y -l yes -d 'Answer Yes to every question'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -s n -l no -d 'Answer No to every question'

complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a clean -d 'Remove from plugins what only repeats the game masters'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a merge-lists -d 'Merge the leveled lists of all active plugins'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a merge-objects -d 'Merge the objects that several active plugins change'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a merge-dialogs -d 'Merge the dialogue that several active plugins change'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a report -d 'Write a detailed conflict report into the log file'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a fix -d 'JUST FIX IT!: clean, then build and activate the merges'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a undo -d 'Bring the game back to what it was before a run'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a plugins -d 'List the masters and plugins of Data Files, or change them'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a options -d 'Show or change the ten settings of the options panel'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a dump -d 'List the records of TES3 files, one line each'
complete -c modrake -n "not __fish_seen_subcommand_from $commands" -a sample-game -d 'Write a sample game installation into a folder'

complete -c modrake -n '__fish_seen_subcommand_from clean' -l subfolder -d 'Save the results in a "Clean" subfolder'
complete -c modrake -n '__fish_seen_subcommand_from clean' -l keep-names -d "Don't change plugin file names"
complete -c modrake -n '__fish_seen_subcommand_from clean' -l keep-time -d 'Keep the file time when cleaning'
complete -c modrake -n '__fish_seen_subcommand_from clean' -l force-save -d 'Save plugins that were clean already'
complete -c modrake -n '__fish_seen_subcommand_from clean' -l ignore-tribunal -d 'Ignore Tribunal.esm'
complete -c modrake -n '__fish_seen_subcommand_from clean' -l ignore-bloodmoon -d 'Ignore Bloodmoon.esm'
complete -c modrake -n '__fish_seen_subcommand_from clean' -l restricted-dialogs -d 'Restricted dialogue cleaning'
complete -c modrake -n '__fish_seen_subcommand_from clean' -l restricted-cells -d 'Restricted cell cleaning'
complete -c modrake -n '__fish_seen_subcommand_from clean report dump' -k -a '(__modrake_plugin_files)'

complete -c modrake -n '__fish_seen_subcommand_from merge-lists merge-objects merge-dialogs' -l activate -d 'Build it without asking and make it an active plugin'
complete -c modrake -n '__fish_seen_subcommand_from merge-lists merge-objects merge-dialogs fix' -l output -x -a '(__fish_complete_directories)' -d 'The data folder the merged plugins go to'
complete -c modrake -n '__fish_seen_subcommand_from clean merge-lists merge-objects merge-dialogs report fix' -l all-masters -d 'Active master files that plugins name count as masters'
complete -c modrake -n '__fish_seen_subcommand_from merge-lists' -l against-masters -d 'Keep what plugins remove and what the expansions add'
complete -c modrake -n '__fish_seen_subcommand_from merge-objects' -l merge-unchanged -d "Keep merged objects that equal the last plugin's version"

complete -c modrake -n '__fish_seen_subcommand_from undo' -l list -d 'List the runs that have a backup'
complete -c modrake -n '__fish_seen_subcommand_from undo' -l force -d 'Undo even when files changed since the run'

complete -c modrake -n '__fish_seen_subcommand_from report' -l full -d 'Report LEVI/LEVC/LTEX conflicts'
complete -c modrake -n '__fish_seen_subcommand_from report' -l json -d 'The report as one JSON document on standard output'
complete -c modrake -n '__fish_seen_subcommand_from report' -l skip-mergeable -d 'Do not report mergeable conflicts'

complete -c modrake -n "__fish_seen_subcommand_from plugins; and not __fish_seen_subcommand_from $plugins_subcommands" -l sort -x -a 'load name name-desc time time-desc' -d 'Order of the list'
complete -c modrake -n "__fish_seen_subcommand_from plugins; and not __fish_seen_subcommand_from $plugins_subcommands" -l json -d 'The installation as one JSON document'
complete -c modrake -n "__fish_seen_subcommand_from plugins; and not __fish_seen_subcommand_from $plugins_subcommands" -a activate -d 'Activate the files and write morrowind.ini or openmw.cfg'
complete -c modrake -n "__fish_seen_subcommand_from plugins; and not __fish_seen_subcommand_from $plugins_subcommands" -a deactivate -d 'Deactivate the files and write morrowind.ini or openmw.cfg'
complete -c modrake -n "__fish_seen_subcommand_from plugins; and not __fish_seen_subcommand_from $plugins_subcommands" -a update-time -d 'Give the files the last places of the load order'
complete -c modrake -n "__fish_seen_subcommand_from plugins; and not __fish_seen_subcommand_from $plugins_subcommands" -a update-header -d 'Write version, file type, record count and master sizes into the headers'
complete -c modrake -n "__fish_seen_subcommand_from $plugins_subcommands" -a '(__modrake_data_names)'

complete -c modrake -n '__fish_seen_subcommand_from options' -a '(for key in KeepFileName KeepFileDate ForceSave IgnoreTribunal IgnoreBloodmoon RestrictedDialogCleaning RestrictedCellCleaning FullConflictReport IgnoreMergeableConflicts MergeUnchangedObjects MergeListsAgainstMasters AllMasters; printf "%s\n" $key=1 $key=0; end)'

complete -c modrake -n '__fish_seen_subcommand_from sample-game' -l plugins -x -d 'Also write N generated plugins'
complete -c modrake -n '__fish_seen_subcommand_from sample-game' -l scale -x -d "Size of the masters (1: about the real game's)"
complete -c modrake -n '__fish_seen_subcommand_from sample-game' -a '(__fish_complete_directories)'
