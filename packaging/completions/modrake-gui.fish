# fish completion for modrake-gui

complete -c modrake-gui -f
complete -c modrake-gui -s h -l help -d 'Print the options and exit'
complete -c modrake-gui -s v -l version -d 'Print the version and exit'
complete -c modrake-gui -l game -x -a '(__fish_complete_directories)' -d 'The game folder (holding Morrowind.ini and Data Files)'
complete -c modrake-gui -l openmw-config -r -d 'An OpenMW game: its openmw.cfg, or the folder that holds it'
complete -c modrake-gui -l home -x -a '(__fish_complete_directories)' -d 'Folder for modrake.ini, modrake.log, modrake.bak and modrake.dat'
