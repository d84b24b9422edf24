; stress.asm - a program that does everything at once, as fast as it can, so that a long run
; shows whether the machine's resources stay bounded. Each round it takes a few of the
; waiting events (the host floods the queue far faster), starts one host timer and stops
; another, switches the screen to the next of four modes of different kinds and sizes, and
; draws a little (the call that does not fit the mode only fails). It never waits.
;
; The host reads the number of rounds at ROUNDS and the number of events taken at TAKEN.

        .include "tarquil.inc"

ROUNDS  = 0x8000        ; dword: finished rounds
TAKEN   = 0x8004        ; dword: events taken
LEFT    = 0x8008        ; dword: events still to take this round
POINTER = 0x800C        ; dword: the current entry of the mode table
PIXELS  = 0x10000       ; a picture's worth of memory (640 x 400 dwords; the machine has 2 MiB)
EVENTS_PER_ROUND = 16

start:  MOV.32  #EVENTS_PER_ROUND, [LEFT]
.take:  GETEVENT
        JZ.8    timers, r0
        INC.U32 [TAKEN]
        DEC.U32 [LEFT]
        JNZ.32  .take, [LEFT]

timers: MOV.16  #GROUP_SYSTEM | SYSTEM_START_TIMER << 8, r0
        AND.32  [ROUNDS], #7, r4
        MOV.32  #10, r8
        SYS
        MOV.16  #GROUP_SYSTEM | SYSTEM_STOP_TIMER << 8, r0
        ADD.U32 [ROUNDS], #3, r4
        AND.32  r4, #7, r4
        SYS

screen: AND.32  [ROUNDS], #3, r24
        MUL.U32 r24, #12, r24
        ADD.U32 #modes, r24, [POINTER]
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   [[POINTER]], r2
        ADD.U32 [POINTER], #4, [POINTER]
        MOV.32  [[POINTER]], r8
        ADD.U32 [POINTER], #4, [POINTER]
        MOV.32  [[POINTER]], r12
        SYS
        MOV.16  #GROUP_SCREEN | SCREEN_SET_PIXELS << 8, r0
        MOV.32  #PIXELS, r4
        SYS
        MOV.16  #GROUP_SCREEN | SCREEN_PUT_CELL << 8, r0
        MOV.32  #1, r8
        MOV.32  #1, r12
        MOV.8   #'S', r2
        MOV.32  #COLOR_RED, r16
        SYS
        MOV.16  #GROUP_SCREEN | SCREEN_REFRESH << 8, r0
        SYS

        INC.U32 [ROUNDS]
        JMP     start

; The four modes: kind, width, height.
modes:  .dword  MODE_TEXT, 80, 25
        .dword  MODE_GRAPHICS, 320, 200
        .dword  MODE_TEXT, 132, 60
        .dword  MODE_GRAPHICS, 640, 400
